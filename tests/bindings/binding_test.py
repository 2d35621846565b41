"""Drives all eleven calls through the Python binding over 127.0.0.1, and a
wait that a timer signal keeps interrupting.
Run as: python3 -I binding_test.py BINDING_DIR path/to/libtidelink_android.so
"""
import ctypes
import errno
import os
import signal
import sys
import time
import unittest

LOOPBACK = ("127.0.0.1", 0)


class Binding(unittest.TestCase):
    def test_layout_is_eight_bytes_at_0_4_6(self):
        E = tidelink.UdpEndPoint
        self.assertEqual((ctypes.sizeof(E), E.address.offset, E.port.offset, E.reserved.offset), (8, 0, 4, 6))

    def test_platform_error_texts_and_clock(self):
        self.assertEqual(tidelink.platform(), "android")
        for number in (errno.EAGAIN, errno.ECONNREFUSED, errno.EADDRINUSE):
            self.assertEqual(tidelink.error_string(number), os.strerror(number))
        before = tidelink.milliseconds()
        time.sleep(0.1)
        self.assertTrue(95 <= (tidelink.milliseconds() - before) % 2**32 < 1000)  # the count wraps

    def test_round_trip_names_the_sender(self):
        with tidelink.Socket() as a, tidelink.Socket() as b:
            a.bind(LOOPBACK)
            b.bind(LOOPBACK)
            a_end, b_end = a.getsockname(), b.getsockname()
            self.assertEqual(a_end[0], "127.0.0.1")
            self.assertNotEqual(a_end[1], 0)
            payload = bytes(range(256)) * 4 + b"\x00tail"
            self.assertEqual(a.sendto(payload, b_end), len(payload))
            self.assertTrue(b.poll(2000))
            self.assertEqual(b.recvfrom(2048), (payload, a_end))
            # Back to the sender the library reported, into the caller's buffer.
            self.assertEqual(b.sendto(bytearray(b"ack"), a_end), 3)
            self.assertTrue(a.poll(2000))
            into = bytearray(b"-" * 8)
            self.assertEqual(a.recvfrom_into(into, 5), (3, b_end))
            self.assertEqual(into, b"ack-----")

    def test_empty_queue_times_out_then_would_block(self):
        with tidelink.Socket() as s:
            s.bind(LOOPBACK)
            started = time.monotonic()
            self.assertFalse(s.poll(50))
            self.assertGreaterEqual(time.monotonic() - started, 0.045)
            with self.assertRaises(BlockingIOError) as raised:
                s.recvfrom(16)
            self.assertEqual(raised.exception.errno, errno.EAGAIN)
            self.assertEqual(s.last_error, errno.EAGAIN)

    def test_second_bind_fails_with_the_systems_error(self):
        with tidelink.Socket() as s:
            s.bind(LOOPBACK)
            bound = s.getsockname()
            with self.assertRaises(OSError) as raised:
                s.bind(LOOPBACK)
            self.assertEqual((raised.exception.errno, s.last_error), (errno.EINVAL, errno.EINVAL))
            self.assertEqual(s.getsockname(), bound)

    def test_declarations_pass_the_endpoint_by_value_and_leave_the_filler(self):
        lib = tidelink.load()
        a, b = lib.udpCreate(), lib.udpCreate()
        try:
            for handle in (a, b):
                self.assertEqual(lib.udpBind(handle, tidelink.UdpEndPoint(tidelink.LOOPBACK, 0)), 0)
            a_end, b_end = tidelink.UdpEndPoint(), tidelink.UdpEndPoint(0xFFFFFFFF, 0xFFFF, 0xFFFF)
            self.assertEqual(lib.udpGetEndPoint(a, ctypes.byref(a_end)), 0)
            self.assertEqual(lib.udpGetEndPoint(b, ctypes.byref(b_end)), 0)
            self.assertEqual(b_end.reserved, 0)
            b_end.reserved = 0xBEEF  # carries no value, whatever the host leaves in it
            self.assertEqual(lib.udpSendTo(a, b"x", 1, b_end), 1)
            self.assertEqual(lib.udpRecvPoll(b, 2000), 0)
            source = tidelink.UdpEndPoint(0, 0, 0x1234)
            self.assertEqual(lib.udpRecvFrom(b, ctypes.create_string_buffer(4), 4, ctypes.byref(source)), 1)
            self.assertEqual((source.address, source.port, source.reserved), (tidelink.LOOPBACK, a_end.port, 0x1234))
            self.assertEqual(lib.udpBind(None, b_end), tidelink.UDP_ERROR_INVALID_HANDLE)
            self.assertEqual(lib.udpGetEndPoint(None, ctypes.byref(b_end)), tidelink.UDP_ERROR_INVALID_HANDLE)
            self.assertEqual((b_end.address, b_end.port), (0, 0))
            self.assertEqual(lib.udpLastError(None), -1)
            self.assertEqual(lib.udpRecvPoll(None, 0), tidelink.UDP_ERROR_INVALID_HANDLE)
            self.assertEqual(lib.udpClose(None), tidelink.UDP_ERROR_INVALID_HANDLE)
        finally:
            self.assertEqual((lib.udpClose(a), lib.udpClose(b)), (0, 0))

    def test_closed_socket_refuses_calls_and_closes_once(self):
        s = tidelink.Socket()
        s.close()
        s.close()
        with self.assertRaises(OSError) as raised:
            s.poll(0)
        self.assertEqual(raised.exception.errno, errno.EBADF)

    def test_wait_goes_on_through_signals_and_times_out(self):
        delivered = []
        previous = signal.signal(signal.SIGALRM, lambda number, frame: delivered.append(number))
        signal.setitimer(signal.ITIMER_REAL, 0.05, 0.05)
        try:
            with tidelink.Socket() as s:
                s.bind(LOOPBACK)
                started = time.monotonic()
                self.assertFalse(s.poll(1500))
                waited = time.monotonic() - started
        finally:
            signal.setitimer(signal.ITIMER_REAL, 0, 0)
            signal.signal(signal.SIGALRM, previous)
        self.assertGreaterEqual(len(delivered), 10, "the timer did not interrupt the wait")
        self.assertTrue(1.49 <= waited < 10, "waited %.3f s" % waited)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: binding_test.py BINDING_DIR path/to/libtidelink_android.so")
    sys.path.insert(0, sys.argv[1])
    import tidelink
    tidelink.load(sys.argv[2])
    program = unittest.main(argv=sys.argv[:1], verbosity=2, exit=False)
    sys.exit(0 if program.result.wasSuccessful() else 1)
