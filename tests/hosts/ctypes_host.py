"""A foreign-language host: Python's ctypes, standard library only.

Declares UdpEndPoint and the eleven functions from the interface's own
description (not from the header), then drives them on 127.0.0.1.
Run as: python3 ctypes_host.py path/to/libtidelink_android.so
"""
import ctypes
import errno
import os
import sys
import time
import unittest

LOOPBACK = 0x7F000001  # 127.0.0.1, host byte order
UDP_ERROR_SYSTEM = -1
UDP_ERROR_INVALID_HANDLE = -2
UDP_ERROR_TIMEOUT = -3


class UdpEndPoint(ctypes.Structure):
    _fields_ = [
        ("address", ctypes.c_uint32),
        ("port", ctypes.c_uint16),
        ("reserved", ctypes.c_uint16),
    ]


class UdpSocket(ctypes.Structure):
    """Opaque: the host only ever holds pointers to it."""


Handle = ctypes.POINTER(UdpSocket)


def load(path):
    lib = ctypes.CDLL(path, use_errno=True)
    signatures = {
        "udpCreate": (Handle, []),
        "udpBind": (ctypes.c_int32, [Handle, UdpEndPoint]),
        "udpGetEndPoint": (ctypes.c_int32, [Handle, ctypes.POINTER(UdpEndPoint)]),
        "udpLastError": (ctypes.c_int32, [Handle]),
        "udpSendTo": (ctypes.c_int32, [Handle, ctypes.c_void_p, ctypes.c_int32, UdpEndPoint]),
        "udpRecvFrom": (ctypes.c_int32, [Handle, ctypes.c_void_p, ctypes.c_int32,
                                         ctypes.POINTER(UdpEndPoint)]),
        "udpRecvPoll": (ctypes.c_int32, [Handle, ctypes.c_int32]),
        "udpClose": (ctypes.c_int32, [Handle]),
        "udpPlatform": (ctypes.c_char_p, []),
        "udpPlatformErrorString": (ctypes.c_char_p, [ctypes.c_int32]),
        "udpGetHighPrecisionTime": (ctypes.c_uint32, []),
    }
    for name, (restype, argtypes) in signatures.items():
        function = getattr(lib, name)
        function.restype = restype
        function.argtypes = argtypes
    return lib


LIB = None


class Host(unittest.TestCase):
    def setUp(self):
        self.handles = []

    def tearDown(self):
        for handle in self.handles:
            LIB.udpClose(handle)

    def create(self):
        handle = LIB.udpCreate()
        self.assertTrue(handle, "udpCreate answered null")
        self.handles.append(handle)
        return handle

    def close(self, handle):
        self.handles.remove(handle)
        self.assertEqual(LIB.udpClose(handle), 0)

    def bound(self):
        handle = self.create()
        result = LIB.udpBind(handle, UdpEndPoint(LOOPBACK, 0))  # by value
        self.assertEqual(result, 0, self.error_text(handle))
        endpoint = UdpEndPoint(0xFFFFFFFF, 0xFFFF, 0xFFFF)
        self.assertEqual(LIB.udpGetEndPoint(handle, ctypes.byref(endpoint)), 0)  # by pointer
        return handle, endpoint

    def error_text(self, handle):
        number = LIB.udpLastError(handle)
        return "error %d: %s" % (number, os.strerror(number))

    def test_layout_is_eight_bytes_at_0_4_6(self):
        self.assertEqual(ctypes.sizeof(UdpEndPoint), 8)
        self.assertEqual(UdpEndPoint.address.offset, 0)
        self.assertEqual(UdpEndPoint.port.offset, 4)
        self.assertEqual(UdpEndPoint.reserved.offset, 6)

    def test_platform_is_android(self):
        self.assertEqual(LIB.udpPlatform(), b"android")

    def test_bound_endpoint_is_loopback_with_a_chosen_port(self):
        _, endpoint = self.bound()
        self.assertEqual(endpoint.address, LOOPBACK)
        self.assertNotEqual(endpoint.port, 0)
        self.assertEqual(endpoint.reserved, 0)

    def test_datagram_round_trip_names_the_sender(self):
        sender, sender_end = self.bound()
        receiver, receiver_end = self.bound()
        payload = bytes(range(256)) * 4 + b"\x00tail"
        # The filler carries no value, whatever the host leaves in it.
        destination = UdpEndPoint(receiver_end.address, receiver_end.port, 0xBEEF)
        sent = LIB.udpSendTo(sender, payload, len(payload), destination)
        self.assertEqual(sent, len(payload), self.error_text(sender))
        self.assertEqual(LIB.udpRecvPoll(receiver, 2000), 0)

        buffer = ctypes.create_string_buffer(2048)
        source = UdpEndPoint(0, 0, 0x1234)
        received = LIB.udpRecvFrom(receiver, buffer, len(buffer), ctypes.byref(source))
        self.assertEqual(received, len(payload), self.error_text(receiver))
        self.assertEqual(buffer.raw[:received], payload)
        self.assertEqual((source.address, source.port), (LOOPBACK, sender_end.port))
        self.assertEqual(source.reserved, 0x1234, "udpRecvFrom must leave the filler alone")

        # And back, to the endpoint the library reported, passed by value.
        self.assertEqual(LIB.udpSendTo(receiver, b"ack", 3, source), 3)
        self.assertEqual(LIB.udpRecvPoll(sender, 2000), 0)
        reply = UdpEndPoint()
        self.assertEqual(LIB.udpRecvFrom(sender, buffer, len(buffer), ctypes.byref(reply)), 3)
        self.assertEqual(buffer.raw[:3], b"ack")
        self.assertEqual((reply.address, reply.port), (LOOPBACK, receiver_end.port))

    def test_empty_queue_times_out_then_would_block_with_the_systems_text(self):
        handle, _ = self.bound()
        started = time.monotonic()
        self.assertEqual(LIB.udpRecvPoll(handle, 50), UDP_ERROR_TIMEOUT)
        self.assertGreaterEqual(time.monotonic() - started, 0.04)
        buffer = ctypes.create_string_buffer(16)
        source = UdpEndPoint()
        result = LIB.udpRecvFrom(handle, buffer, len(buffer), ctypes.byref(source))
        self.assertEqual(result, UDP_ERROR_SYSTEM)
        number = LIB.udpLastError(handle)
        self.assertIn(number, (errno.EAGAIN, errno.EWOULDBLOCK))
        self.assertEqual(LIB.udpPlatformErrorString(number).decode(), os.strerror(number))

    def test_second_bind_fails_with_the_systems_error(self):
        handle, endpoint = self.bound()
        self.assertEqual(LIB.udpBind(handle, UdpEndPoint(LOOPBACK, 0)), UDP_ERROR_SYSTEM)
        self.assertEqual(LIB.udpLastError(handle), errno.EINVAL, self.error_text(handle))
        again = UdpEndPoint()
        self.assertEqual(LIB.udpGetEndPoint(handle, ctypes.byref(again)), 0)
        self.assertEqual((again.address, again.port), (endpoint.address, endpoint.port))

    def test_null_handle_is_refused(self):
        endpoint = UdpEndPoint(1, 2, 3)
        self.assertEqual(LIB.udpBind(None, endpoint), UDP_ERROR_INVALID_HANDLE)
        self.assertEqual(LIB.udpGetEndPoint(None, ctypes.byref(endpoint)), UDP_ERROR_INVALID_HANDLE)
        self.assertEqual((endpoint.address, endpoint.port), (0, 0))
        self.assertEqual(LIB.udpLastError(None), -1)
        self.assertEqual(LIB.udpRecvPoll(None, 0), UDP_ERROR_INVALID_HANDLE)
        self.assertEqual(LIB.udpClose(None), UDP_ERROR_INVALID_HANDLE)

    def test_error_text_is_the_systems(self):
        for number in (errno.EAGAIN, errno.ECONNREFUSED, errno.EADDRINUSE):
            self.assertEqual(LIB.udpPlatformErrorString(number).decode(), os.strerror(number))

    def test_clock_counts_milliseconds(self):
        before = LIB.udpGetHighPrecisionTime()
        time.sleep(0.1)
        elapsed = (LIB.udpGetHighPrecisionTime() - before) % 2**32  # the count wraps
        self.assertGreaterEqual(elapsed, 95)
        self.assertLess(elapsed, 1000)

    def test_close_answers_zero(self):
        handle = self.create()
        self.close(handle)
        handle, _ = self.bound()
        self.close(handle)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: ctypes_host.py path/to/libtidelink_android.so")
    LIB = load(sys.argv[1])
    program = unittest.main(argv=sys.argv[:1], verbosity=2, exit=False)
    sys.exit(0 if program.result.wasSuccessful() else 1)
