"""Drives all eleven calls through the Python binding over 127.0.0.1, a wait
that a timer signal keeps interrupting, and closes racing other threads.
Run as: python3 -I binding_test.py [BINDING_DIR path/to/libtidelink_android.so]
(with no arguments: the installed package and the library beside it).
"""
import ctypes
import errno
import os
import random
import signal
import sys
import threading
import time
import unittest
from typing import Any, Callable, Dict, List, Set

LOOPBACK = ("127.0.0.1", 0)


class CallsAfterClose:
    """Stands between a Socket and the library and counts the calls that come
    with a handle already given to udpClose; it answers those as the library
    answers an invalid handle, rather than hand the library a freed record.
    Its calls are C functions (ctypes callbacks), so that the accelerator's
    own calls from C come through it as well as ctypes'; each keeps the errno
    of the library call it makes for its caller."""

    HANDLE_CALLS = ("udpCreate", "udpBind", "udpGetEndPoint", "udpLastError", "udpSendTo", "udpRecvFrom",
                    "udpRecvPoll", "udpClose")

    def __init__(self, lib: ctypes.CDLL) -> None:
        self._lib, self._lock, self.count, self.calls = lib, threading.Lock(), 0, 0
        self._closed: Set[int] = set()
        self._made: Dict[str, Any] = {}

    def __getattr__(self, name: str) -> Any:
        if name not in self.HANDLE_CALLS:
            return getattr(self._lib, name)
        if name not in self._made:
            function = getattr(self._lib, name)

            def call(*args: Any) -> Any:
                with self._lock:
                    self.calls += 1
                    if args and args[0] in self._closed:
                        self.count += 1
                        return tidelink.UDP_ERROR_INVALID_HANDLE
                    if name == "udpClose":
                        self._closed.add(args[0])
                    return function(*args)
            signature: Any = tidelink._SIGNATURES[name]
            self._made[name] = ctypes.CFUNCTYPE(signature[0], *signature[1], use_errno=True)(call)
        return self._made[name]


class Binding(unittest.TestCase):
    def test_layout_is_eight_bytes_at_0_4_6(self) -> None:
        E = tidelink.UdpEndPoint
        offsets = [getattr(E, field).offset for field in ("address", "port", "reserved")]
        self.assertEqual((ctypes.sizeof(E), offsets), (8, [0, 4, 6]))

    def test_platform_error_texts_and_clock(self) -> None:
        self.assertEqual(tidelink.platform(), "android")
        for number in (errno.EAGAIN, errno.ECONNREFUSED, errno.EADDRINUSE):
            self.assertEqual(tidelink.error_string(number), os.strerror(number))
        before = tidelink.milliseconds()
        time.sleep(0.1)
        self.assertTrue(95 <= (tidelink.milliseconds() - before) % 2**32 < 1000)  # the count wraps

    def test_round_trip_names_the_sender(self) -> None:
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
            # Each datagram names its own sender, the same buffer taking each.
            with tidelink.Socket() as c:
                c.bind(LOOPBACK)
                for sender, end in ((c, c.getsockname()), (b, b_end), (c, c.getsockname())):
                    sender.sendto(b"x", a_end)
                    self.assertTrue(a.poll(2000))
                    self.assertEqual(a.recvfrom_into(into), (1, end))

    def test_empty_queue_times_out_then_would_block(self) -> None:
        with tidelink.Socket() as s:
            s.bind(LOOPBACK)
            started = time.monotonic()
            self.assertFalse(s.poll(50))
            self.assertGreaterEqual(time.monotonic() - started, 0.045)
            with self.assertRaises(BlockingIOError) as raised:
                s.recvfrom(16)
            self.assertEqual(raised.exception.errno, errno.EAGAIN)
            self.assertEqual(s.last_error, errno.EAGAIN)

    def test_second_bind_fails_with_the_systems_error(self) -> None:
        with tidelink.Socket() as s:
            s.bind(LOOPBACK)
            bound = s.getsockname()
            with self.assertRaises(OSError) as raised:
                s.bind(LOOPBACK)
            self.assertEqual((raised.exception.errno, s.last_error), (errno.EINVAL, errno.EINVAL))
            self.assertEqual(s.getsockname(), bound)

    def test_declarations_pass_the_endpoint_by_value_and_leave_the_filler(self) -> None:
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

    def test_a_sender_and_a_receiver_on_one_socket_each_get_their_own_error(self) -> None:
        # 70000 bytes is more than a UDP datagram holds: EMSGSIZE; the queue
        # is empty: EAGAIN. Each thread counts the failures that carried the other's.
        wrong = {errno.EMSGSIZE: 0, errno.EAGAIN: 0}
        with tidelink.Socket() as s:
            s.bind(LOOPBACK)
            too_large, end = bytes(70000), s.getsockname()

            def fails(call: Callable[[], Any], expected: int) -> None:
                for _ in range(20000):
                    try:
                        call()
                    except OSError as failure:
                        wrong[expected] += failure.errno != expected
            threads = [threading.Thread(target=fails, args=(lambda: s.sendto(too_large, end), errno.EMSGSIZE)),
                       threading.Thread(target=fails, args=(lambda: s.recvfrom(16), errno.EAGAIN))]
            for thread in threads:
                thread.start()
            for thread in threads:
                thread.join()
        self.assertEqual(wrong, {errno.EMSGSIZE: 0, errno.EAGAIN: 0}, "failures with the other thread's error")

    def test_two_receivers_on_one_socket_each_get_their_datagrams_sender(self) -> None:
        # Each datagram carries its sender's port; two threads take them
        # until nothing comes for 200 ms.
        received: List[bool] = []
        with tidelink.Socket() as r, tidelink.Socket() as c, tidelink.Socket() as d:
            for s in (r, c, d):
                s.bind(LOOPBACK)
            senders = [(s, s.getsockname()[1].to_bytes(2, "big")) for s in (c, d)]

            def receive() -> None:
                buffer = bytearray(2)
                while r.poll(200):
                    try:
                        port = r.recvfrom_into(buffer)[1][1]
                    except BlockingIOError:
                        continue  # the other thread took it
                    received.append(port.to_bytes(2, "big") == buffer)
            threads = [threading.Thread(target=receive) for _ in range(2)]
            for thread in threads:
                thread.start()
            for i in range(4000):
                sender, port = senders[i % 2]
                sender.sendto(port, r.getsockname())
            for thread in threads:
                thread.join()
        self.assertGreater(len(received), 100)
        self.assertEqual(received.count(False), 0, "datagrams named with another datagram's sender")

    def test_closed_socket_refuses_calls_and_closes_once(self) -> None:
        s = tidelink.Socket()
        s.close()
        s.close()
        with self.assertRaises(OSError) as raised:
            s.poll(0)
        self.assertEqual(raised.exception.errno, errno.EBADF)

    def test_the_library_is_the_one_named_or_the_one_beside_the_module_and_stays(self) -> None:
        beside = os.path.join(os.path.dirname(os.path.abspath(tidelink.__file__)), "libtidelink_android.so")
        lib = tidelink.load()
        self.assertEqual(lib._name, NAMED or beside)
        self.assertIs(tidelink.load(lib._name), lib)
        with self.assertRaises(RuntimeError):
            tidelink.load(os.path.join(os.path.dirname(lib._name), "elsewhere", "libtidelink_android.so"))

    def test_the_accelerator_serves_where_it_imports_unless_ctypes_is_asked_for(self) -> None:
        folder = os.path.dirname(os.path.abspath(tidelink.__file__))
        carried = any(name.startswith("_speedups.") and name.endswith(".so") for name in os.listdir(folder))
        asked = os.environ.get("TIDELINK_PURE_PYTHON", "") not in ("", "0")
        expected = carried and not asked and sys.implementation.name == "cpython" and sys.version_info >= (3, 11)
        with tidelink.Socket() as s:
            in_c = any(kind.__module__ == "tidelink._speedups" for kind in type(s).__mro__)
        self.assertEqual((tidelink.ACCELERATED, in_c), (expected, expected))

    def test_close_racing_a_receiver_lets_no_call_reach_the_library_after_it(self) -> None:
        late = stuck = unseen = 0
        lib = tidelink.load()
        for _ in range(400):
            # Every library call of this socket, from udpCreate on, goes through calls.
            tidelink._lib = calls = CallsAfterClose(lib)  # type: ignore[assignment]
            try:
                s = tidelink.Socket()
            finally:
                tidelink._lib = lib
            s.bind(LOOPBACK)

            def receive() -> None:
                while True:
                    try:
                        s.recvfrom(64)
                    except BlockingIOError:
                        continue
                    except OSError:
                        return
            reader = threading.Thread(target=receive)
            reader.start()
            time.sleep(random.random() / 1000)
            s.close()
            reader.join(5)
            stuck += reader.is_alive()
            late += calls.count
            unseen += calls.calls < 3  # udpCreate, udpBind, udpClose at least
        self.assertEqual((late, stuck, unseen), (0, 0, 0),
                         "calls after udpClose in 400 races, readers left running, sockets whose calls went past")

    def test_close_during_a_long_wait_returns_at_once_and_the_port_is_freed_when_it_ends(self) -> None:
        s = tidelink.Socket()
        s.bind(LOOPBACK)
        bound = s.getsockname()
        answers: List[bool] = []
        waiter = threading.Thread(target=lambda: answers.append(s.poll(1000)))
        waiter.start()
        time.sleep(0.1)
        started = time.monotonic()
        s.close()
        closing = time.monotonic() - started
        with tidelink.Socket() as other, self.assertRaises(OSError) as raised:
            other.bind(bound)
        self.assertEqual(raised.exception.errno, errno.EADDRINUSE)
        waiter.join(5)
        with tidelink.Socket() as other:
            other.bind(bound)
        self.assertLess(closing, 0.1, "close() took %.3f s" % closing)
        self.assertEqual(answers, [False])
        with self.assertRaises(OSError):
            s.poll(0)

    def test_wait_goes_on_through_signals_and_times_out(self) -> None:
        delivered: List[int] = []
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
    if len(sys.argv) not in (1, 3):
        sys.exit("usage: binding_test.py [BINDING_DIR path/to/libtidelink_android.so]")
    sys.path[:0] = sys.argv[1:2]
    NAMED = sys.argv[2] if len(sys.argv) == 3 else None
    import tidelink
    tidelink.load(NAMED)
    program = unittest.main(argv=sys.argv[:1], verbosity=2, exit=False)
    sys.exit(0 if program.result.wasSuccessful() else 1)
