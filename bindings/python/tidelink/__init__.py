"""Python binding of libtidelink_android through ctypes (standard library only).

    import tidelink
    with tidelink.Socket() as a, tidelink.Socket() as b:
        a.bind(("127.0.0.1", 0)); b.bind(("127.0.0.1", 0))
        a.sendto(b"hello", b.getsockname())
        if b.poll(1000):
            data, sender = b.recvfrom(1500)

Addresses are ("a.b.c.d", port) tuples, as in the socket module. Failures
raise OSError (BlockingIOError for an empty queue) with the system's error
number and text. The library is the one load() is given a path to, else the
copy installed beside this module, else libtidelink_android.so by name
through the system's loader.

A Socket may be closed from any thread while others use it: close() returns
at once, no call starts after it, and the library frees the socket when the
last call in flight returns (a wait in flight runs to its own time-out, so
the port stays bound until then).
"""
import ctypes
import errno
import math
import os
import socket as _socket
import threading
import time

__all__ = ["UdpEndPoint", "Socket", "load", "platform", "error_string", "milliseconds",
           "UDP_ERROR_SYSTEM", "UDP_ERROR_INVALID_HANDLE", "UDP_ERROR_TIMEOUT", "LOOPBACK"]

LIBRARY_NAME = "libtidelink_android.so"
LOOPBACK = 0x7F000001  # 127.0.0.1 in host byte order
UDP_ERROR_SYSTEM = -1
UDP_ERROR_INVALID_HANDLE = -2
UDP_ERROR_TIMEOUT = -3


class UdpEndPoint(ctypes.Structure):
    """The library's 8-byte endpoint; address and port in host byte order."""
    _fields_ = [("address", ctypes.c_uint32), ("port", ctypes.c_uint16), ("reserved", ctypes.c_uint16)]

    @classmethod
    def from_address_tuple(cls, address):
        host, port = address
        return cls(int.from_bytes(_socket.inet_aton(host), "big"), port, 0)

    def to_address_tuple(self):
        return _socket.inet_ntoa(self.address.to_bytes(4, "big")), self.port


# Handles are c_void_p: opaque, and None for null. Every result is a 32-bit
# int (unsigned for the clock); the texts are C strings the library owns.
_SIGNATURES = {
    "udpCreate": (ctypes.c_void_p, []),
    "udpBind": (ctypes.c_int32, [ctypes.c_void_p, UdpEndPoint]),
    "udpGetEndPoint": (ctypes.c_int32, [ctypes.c_void_p, ctypes.POINTER(UdpEndPoint)]),
    "udpLastError": (ctypes.c_int32, [ctypes.c_void_p]),
    "udpSendTo": (ctypes.c_int32, [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int32, UdpEndPoint]),
    "udpRecvFrom": (ctypes.c_int32, [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int32,
                                     ctypes.POINTER(UdpEndPoint)]),
    "udpRecvPoll": (ctypes.c_int32, [ctypes.c_void_p, ctypes.c_int32]),
    "udpClose": (ctypes.c_int32, [ctypes.c_void_p]),
    "udpPlatform": (ctypes.c_char_p, []),
    "udpPlatformErrorString": (ctypes.c_char_p, [ctypes.c_int32]),
    "udpGetHighPrecisionTime": (ctypes.c_uint32, []),
}

_lib = None


def load(path=None):
    """Loads the library (once) and declares its eleven functions; answers the
    CDLL. Without a path: the copy beside this module, else the system's."""
    global _lib
    if _lib is None:
        if path is None:
            beside = os.path.join(os.path.dirname(os.path.abspath(__file__)), LIBRARY_NAME)
            path = beside if os.path.exists(beside) else LIBRARY_NAME
        # use_errno: ctypes keeps each call's errno for get_errno(), which the
        # wait reads to tell an interrupted wait from a failed one.
        lib = ctypes.CDLL(path, use_errno=True)
        for name, (restype, argtypes) in _SIGNATURES.items():
            function = getattr(lib, name)
            function.restype = restype
            function.argtypes = argtypes
        _lib = lib
    return _lib


def platform():
    return load().udpPlatform().decode()


def error_string(number):
    return load().udpPlatformErrorString(number).decode(errors="replace")


def milliseconds():
    """Monotonic milliseconds modulo 2**32: take differences modulo 2**32."""
    return load().udpGetHighPrecisionTime()


def _error(number, call):
    # OSError picks the subclass for the number (BlockingIOError for EAGAIN).
    return OSError(number, "%s: %s" % (call, error_string(number)))


class Socket:
    """An IPv4 datagram socket; closed once by close() or by leaving `with`.

    ctypes lets go of the interpreter's lock for every library call, so a
    close() on one thread can come while another thread is inside the library
    with the same record. Each call therefore counts itself in and out under a
    small lock, never held across a library call, and the last one out after
    close() frees the record.
    """

    def __init__(self):
        lib = load()
        self._lib = lib
        self._state = threading.Lock()
        self._calls = 0  # calls in flight
        self._closing = False
        self._handle = lib.udpCreate()
        if not self._handle:
            self._closing = True
            raise OSError("udpCreate: the system refused a socket")
        self._sender = UdpEndPoint()
        self._sender_pointer = ctypes.pointer(self._sender)
        self._buffer = None
        self._destination = (None, None)  # the last address and its UdpEndPoint

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        try:
            self.close()
        except OSError:
            pass  # nobody is left to tell; the handle is freed either way

    @property
    def closed(self):
        return self._closing

    def _enter(self):
        # After close() the record is freed, or will be by the last call in
        # flight: no new call may reach the library with it.
        with self._state:
            if self._closing:
                raise OSError(errno.EBADF, "the socket is closed")
            self._calls += 1
            return self._handle

    def _leave(self):
        with self._state:
            self._calls -= 1
            if not self._closing or self._calls:
                return
            handle, self._handle = self._handle, None
        # close() has long returned: nobody is left to tell of a failure.
        self._lib.udpClose(handle)

    def close(self):
        """Returns at once, from any thread; later calls do nothing. With calls
        in flight on other threads, the library closes the socket when the
        last of them returns, and a failure of that close goes unreported;
        otherwise it closes now and a failure raises."""
        state = getattr(self, "_state", None)
        if state is None:
            return  # __init__ failed before there was anything to close
        with state:
            if self._closing:
                return
            self._closing = True
            if self._calls:
                return
            handle, self._handle = self._handle, None
        result = self._lib.udpClose(handle)
        if result != 0:
            raise _error(result, "udpClose")

    def bind(self, address):
        """Binds to (host, port); port 0 lets the system choose. Then non-blocking."""
        endpoint = UdpEndPoint.from_address_tuple(address)
        handle = self._enter()
        try:
            if self._lib.udpBind(handle, endpoint) != 0:
                raise _error(self._lib.udpLastError(handle), "udpBind")
        finally:
            self._leave()

    def getsockname(self):
        endpoint = UdpEndPoint()
        handle = self._enter()
        try:
            self._lib.udpGetEndPoint(handle, ctypes.byref(endpoint))
        finally:
            self._leave()
        return endpoint.to_address_tuple()

    @property
    def last_error(self):
        """The error number of the last failed bind, send or receive; 0 if none."""
        handle = self._enter()
        try:
            return self._lib.udpLastError(handle)
        finally:
            self._leave()

    def sendto(self, data, address):
        """Sends bytes (or any buffer) as one datagram to (host, port); answers the count."""
        last, endpoint = self._destination
        if address != last:
            endpoint = UdpEndPoint.from_address_tuple(address)
            self._destination = (address, endpoint)
        if not isinstance(data, bytes):
            data = bytes(data)
        handle = self._enter()
        try:
            sent = self._lib.udpSendTo(handle, data, len(data), endpoint)
            if sent < 0:
                raise _error(self._lib.udpLastError(handle), "udpSendTo")
            return sent
        finally:
            self._leave()

    def recvfrom(self, bufsize):
        """One datagram, cut to bufsize bytes, and its sender: (bytes, (host, port))."""
        if self._buffer is None or len(self._buffer) < bufsize:
            self._buffer = ctypes.create_string_buffer(bufsize)
        count = self._receive(self._buffer, bufsize)
        return ctypes.string_at(self._buffer, count), self._sender.to_address_tuple()

    def recvfrom_into(self, buffer, nbytes=0):
        """Into a writable buffer (bytearray, memoryview...): (count, (host, port))."""
        size = nbytes or len(buffer)
        if size < 0 or size > len(buffer):
            raise ValueError("nbytes is larger than the buffer")
        target = (ctypes.c_char * size).from_buffer(buffer) if size else None
        count = self._receive(target, size)
        return count, self._sender.to_address_tuple()

    def _receive(self, target, size):
        handle = self._enter()
        try:
            count = self._lib.udpRecvFrom(handle, target, size, self._sender_pointer)
            if count < 0:
                raise _error(self._lib.udpLastError(handle), "udpRecvFrom")
            return count
        finally:
            self._leave()

    def poll(self, timeout_ms):
        """Waits up to timeout_ms for a datagram: True when one is there, False
        when the time ran out. A signal handler that interrupts the wait does
        not end it early; an exception it raises does, and after a close() on
        another thread it raises OSError(EBADF) rather than wait again."""
        if timeout_ms < 0:
            raise ValueError("timeout_ms must not be negative")
        handle = self._enter()
        try:
            deadline = time.monotonic() + timeout_ms / 1000.0
            left = timeout_ms
            while True:
                result = self._lib.udpRecvPoll(handle, left)
                if result == 0:
                    return True
                if result == UDP_ERROR_TIMEOUT:
                    return False
                number = ctypes.get_errno()
                if number != errno.EINTR:
                    raise _error(number, "udpRecvPoll")
                if left == 0:
                    return False
                if self._closing:
                    raise OSError(errno.EBADF, "the socket was closed during the wait")
                # Rounded up, so the wait never ends early.
                left = max(0, min(timeout_ms, math.ceil((deadline - time.monotonic()) * 1000)))
        finally:
            self._leave()
