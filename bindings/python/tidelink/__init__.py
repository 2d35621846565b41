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

A Socket may be used from several threads at once, as the socket module's
may: one sending while others receive or poll, each failure raising its own
call's error and each datagram naming its own sender. It may be closed from
any thread while others use it: close() returns at once, no call starts
after it, and the library frees the socket when the last call in flight
returns (a wait in flight runs to its own time-out, so the port stays bound
until then).

On CPython 3.11 and later the wheel's accelerator, tidelink._speedups, makes
those calls in C, on the same library; elsewhere, or with the environment
variable TIDELINK_PURE_PYTHON set to 1 when the package is imported, they go
through ctypes. ACCELERATED says which. The API is the same either way.
"""
from __future__ import annotations

import ctypes
import errno
import math
import os
import socket as _socket
import time
from typing import TYPE_CHECKING, Any, Callable, List, Optional, Tuple

if TYPE_CHECKING:
    from _typeshed import ReadableBuffer, WriteableBuffer

try:
    from ._version import __version__
except ImportError:  # run from the source tree: the package build writes _version.py
    __version__ = "0+source"

__all__ = ["UdpEndPoint", "Socket", "Address", "load", "platform", "error_string", "milliseconds",
           "UDP_ERROR_SYSTEM", "UDP_ERROR_INVALID_HANDLE", "UDP_ERROR_TIMEOUT", "LOOPBACK", "ACCELERATED",
           "__version__"]

Address = Tuple[str, int]
"""An IPv4 endpoint as the socket module writes it: ("a.b.c.d", port)."""
LIBRARY_NAME = "libtidelink_android.so"
"""The file name of the library, beside this module or on the loader's path."""
LOOPBACK = 0x7F000001
"""127.0.0.1 in host byte order, as UdpEndPoint.address holds it."""
UDP_ERROR_SYSTEM = -1
"""A library call's result when a system call failed; the number is in udpLastError."""
UDP_ERROR_INVALID_HANDLE = -2
"""A library call's result for a null handle."""
UDP_ERROR_TIMEOUT = -3
"""udpRecvPoll's result when nothing became readable in time."""


class UdpEndPoint(ctypes.Structure):
    """The library's 8-byte endpoint; address and port in host byte order."""
    _fields_ = [("address", ctypes.c_uint32), ("port", ctypes.c_uint16), ("reserved", ctypes.c_uint16)]
    address: int
    port: int
    reserved: int

    @classmethod
    def from_address_tuple(cls, address: Address) -> UdpEndPoint:
        """The endpoint of ("a.b.c.d", port)."""
        host, port = address
        return cls(int.from_bytes(_socket.inet_aton(host), "big"), port, 0)

    def to_address_tuple(self) -> Address:
        """This endpoint as ("a.b.c.d", port)."""
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

# The calls that can fail with a system error. ctypes keeps the thread's errno
# after each (use_errno) for get_errno(): the handle's udpLastError may hold
# another thread's failure by then. Keeping it costs a call a lookup, so the
# other calls come through a second handle on the library, which keeps none.
_KEEP_ERRNO = ("udpBind", "udpSendTo", "udpRecvFrom", "udpRecvPoll")

_lib: Optional[ctypes.CDLL] = None


def load(path: Optional[str] = None) -> ctypes.CDLL:
    """Loads the library (once) and declares its eleven functions; answers the
    CDLL. Without a path: the copy beside this module, else the system's.
    Once loaded, another path raises RuntimeError: one process holds one copy."""
    global _lib
    if _lib is not None:
        if path is not None and os.path.abspath(path) != os.path.abspath(_lib._name):
            raise RuntimeError("tidelink is loaded from %s already, not %s" % (_lib._name, path))
        return _lib
    if path is None:
        beside = os.path.join(os.path.dirname(os.path.abspath(__file__)), LIBRARY_NAME)
        path = beside if os.path.exists(beside) else LIBRARY_NAME
    lib = ctypes.CDLL(path, use_errno=True)
    plain = ctypes.CDLL(path)
    for name, (restype, argtypes) in _SIGNATURES.items():
        function = getattr(lib if name in _KEEP_ERRNO else plain, name)
        function.restype = restype
        function.argtypes = argtypes
        setattr(lib, name, function)
    _lib = lib
    return _lib


def platform() -> str:
    """The name of the platform layer the library is: "android"."""
    name: bytes = load().udpPlatform()
    return name.decode()


def error_string(number: int) -> str:
    """The system's text for an error number, as strerror gives it."""
    text: bytes = load().udpPlatformErrorString(number)
    return text.decode(errors="replace")


def milliseconds() -> int:
    """Monotonic milliseconds modulo 2**32: take differences modulo 2**32."""
    count: int = load().udpGetHighPrecisionTime()
    return count


def _error(number: int, call: str) -> OSError:
    # OSError picks the subclass for the number (BlockingIOError for EAGAIN).
    return OSError(number, "%s: %s" % (call, error_string(number)))


_clock = time.monotonic


def _failed(call: str) -> OSError:
    # Right after the failed call: ctypes kept this thread's errno for it.
    return _error(ctypes.get_errno(), call)


_SenderRecord = Tuple[Any, ctypes.c_uint64]


def _sender_record() -> _SenderRecord:
    # A pointer for the library to fill and the same 8 bytes as one integer.
    endpoint = UdpEndPoint()
    return ctypes.pointer(endpoint), ctypes.c_uint64.from_buffer(endpoint)


def _closed() -> OSError:
    return OSError(errno.EBADF, "the socket is closed")


def _writable_view(buffer: WriteableBuffer) -> Tuple[Any, Optional[ctypes.Array[ctypes.c_char]], int]:
    # (buffer, a ctypes view of it, its size); from_buffer refuses an empty
    # buffer, and the library is then given null.
    size = memoryview(buffer).nbytes
    return buffer, (ctypes.c_char * size).from_buffer(buffer) if size else None, size


class Socket:
    """An IPv4 datagram socket; closed once by close() or by leaving `with`.

    ctypes lets go of the interpreter's lock for every library call, so a
    close() on one thread can come while another thread is inside the library
    with the same record. Each call puts an entry in a list before it reads
    the handle, and takes it out after the library returns; close() clears
    the handle and then puts in and takes out an entry of its own. Whoever
    takes out an entry and then finds the handle cleared and the list empty
    frees the record, once: it pops the handle from a second list, which only
    one of them can do. The list's operations happen one at a time in one
    order (under the interpreter's lock, or, in a free-threaded build, under
    the list's own), and each side reads the other's mark only after one of
    them: so a call that still found the handle put its entry in before
    close() took its own out, and keeps it there until it leaves, and a call
    that comes later finds the handle cleared.

    That costs two list operations a call and no lock. sendto, recvfrom_into
    and poll, the calls of a round trip, write the steps out rather than pay
    for one more frame (_call) a datagram.

    Receives on several threads at once each take a sender record (and
    recvfrom a buffer) of their own from a list, and put it back after: the
    library writes the record with the interpreter's lock let go.
    """

    def __init__(self) -> None:
        """Creates the socket; OSError when the system refuses one."""
        self._lib = lib = load()
        # The round trip's three, one lookup less each.
        self._send, self._receive, self._wait = lib.udpSendTo, lib.udpRecvFrom, lib.udpRecvPoll
        handle: Optional[int] = lib.udpCreate()
        self._handle = handle  # None once closed
        self._calls: List[None] = []  # one entry per call in flight
        self._owner: List[int] = [handle] if handle else []
        if not handle:
            raise OSError("udpCreate: the system refused a socket")
        self._senders: List[_SenderRecord] = [_sender_record()]
        self._buffers: List[bytearray] = []  # recvfrom's
        # The last of each, kept as one tuple that a thread replaces whole.
        self._sender_seen: Tuple[int, Address] = (0, ("0.0.0.0", 0))
        self._destination: Tuple[Optional[Address], UdpEndPoint] = (None, UdpEndPoint())
        self._into: Tuple[Any, Optional[ctypes.Array[ctypes.c_char]], int] = (None, None, 0)

    def __enter__(self) -> Socket:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __del__(self) -> None:
        try:
            self.close()
        except OSError:
            pass  # nobody is left to tell; the handle is freed either way

    @property
    def closed(self) -> bool:
        """True once close() has been called."""
        return self._handle is None

    def _call(self, function: Callable[..., int], *args: Any) -> int:
        # One library call with the handle, counted in flight (see the class).
        calls = self._calls
        calls.append(None)
        try:
            handle = self._handle
            if handle is None:
                raise _closed()
            return function(handle, *args)
        finally:
            calls.pop()
            if self._handle is None:
                self._release()

    def _release(self) -> int:
        # After close(), the last one out frees the record: 0, or udpClose's answer.
        if self._calls:
            return 0
        try:
            handle = self._owner.pop()
        except IndexError:
            return 0  # another thread took it
        result: int = self._lib.udpClose(handle)
        return result

    def close(self) -> None:
        """Returns at once, from any thread; later calls do nothing. With calls
        in flight on other threads, the library closes the socket when the
        last of them returns, and a failure of that close goes unreported;
        otherwise it closes now and a failure raises."""
        if getattr(self, "_handle", None) is None:
            return  # closed, or __init__ failed before there was anything to close
        self._handle = None
        self._into = (None, None, 0)  # lets go of the caller's buffer
        # In and out like a call, so that the list's own order decides which
        # of close() and the calls in flight is the last one out.
        self._calls.append(None)
        self._calls.pop()
        result = self._release()
        if result != 0:
            raise _error(result, "udpClose")

    def bind(self, address: Address) -> None:
        """Binds to (host, port); port 0 lets the system choose. Then non-blocking."""
        if self._call(self._lib.udpBind, UdpEndPoint.from_address_tuple(address)) != 0:
            raise _failed("udpBind")

    def getsockname(self) -> Address:
        """The bound endpoint as the library learnt it; ("0.0.0.0", 0) before bind."""
        endpoint = UdpEndPoint()
        self._call(self._lib.udpGetEndPoint, ctypes.byref(endpoint))
        return endpoint.to_address_tuple()

    @property
    def last_error(self) -> int:
        """The error number of the last failed bind, send or receive; 0 if none.
        With several threads on the socket, it may be another thread's."""
        return self._call(self._lib.udpLastError)

    def sendto(self, data: ReadableBuffer, address: Address) -> int:
        """Sends bytes (or any buffer) as one datagram to (host, port); answers the count."""
        destination = self._destination
        if address is not destination[0] and address != destination[0]:
            destination = (address, UdpEndPoint.from_address_tuple(address))
            self._destination = destination
        if type(data) is not bytes:
            data = bytes(data)
        calls = self._calls
        calls.append(None)
        try:
            handle = self._handle
            if handle is None:
                raise _closed()
            sent: int = self._send(handle, data, len(data), destination[1])
            if sent < 0:
                raise _failed("udpSendTo")
        finally:
            calls.pop()
            if self._handle is None:
                self._release()
        return sent

    def recvfrom(self, bufsize: int) -> Tuple[bytes, Address]:
        """One datagram, cut to bufsize bytes, and its sender: (bytes, (host, port))."""
        if bufsize < 0:
            raise ValueError("negative bufsize")
        buffers = self._buffers
        try:
            buffer = buffers.pop()
        except IndexError:
            buffer = bytearray(bufsize)
        if len(buffer) < bufsize:
            buffer = bytearray(bufsize)
        try:
            count, sender = self.recvfrom_into(buffer if bufsize else bytearray(), bufsize)
            return bytes(buffer[:count]), sender
        finally:
            buffers.append(buffer)

    def recvfrom_into(self, buffer: WriteableBuffer, nbytes: int = 0) -> Tuple[int, Address]:
        """Into a writable buffer (bytearray, memoryview...): (count, (host, port)).
        The socket keeps its view of the last buffer given, so that passing the
        same one again costs nothing; a bytearray can't change its size while
        it is the last one given (pass another, or close the socket, first)."""
        into = self._into
        if into[0] is not buffer:
            into = self._into = _writable_view(buffer)
        size = nbytes or into[2]
        if nbytes and not 0 < nbytes <= into[2]:
            raise ValueError("nbytes is negative or larger than the buffer")
        senders = self._senders
        try:
            record = senders.pop()
        except IndexError:
            record = _sender_record()
        calls = self._calls
        calls.append(None)
        try:
            handle = self._handle
            if handle is None:
                raise _closed()
            count: int = self._receive(handle, into[1], size, record[0])
            if count < 0:
                senders.append(record)
                raise _failed("udpRecvFrom")
        finally:
            calls.pop()
            if self._handle is None:
                self._release()
        bits: int = record[1].value
        senders.append(record)
        # Most datagrams come from the sender of the one before.
        seen = self._sender_seen
        if seen[0] != bits:
            sender = UdpEndPoint.from_buffer_copy(ctypes.c_uint64(bits)).to_address_tuple()
            seen = self._sender_seen = (bits, sender)
        return count, seen[1]

    def poll(self, timeout_ms: int) -> bool:
        """Waits up to timeout_ms for a datagram: True when one is there, False
        when the time ran out. A signal handler that interrupts the wait does
        not end it early; an exception it raises does, and after a close() on
        another thread it raises OSError(EBADF) rather than wait again."""
        if timeout_ms < 0:
            raise ValueError("timeout_ms must not be negative")
        calls = self._calls
        calls.append(None)
        try:
            handle = self._handle
            if handle is None:
                raise _closed()
            started = _clock()
            left = timeout_ms
            while True:
                result: int = self._wait(handle, left)
                if result == 0:
                    return True
                if result == UDP_ERROR_TIMEOUT:
                    return False
                # The wait stores no error number: errno tells an interrupted wait.
                number = ctypes.get_errno()
                if number != errno.EINTR:
                    raise _error(number, "udpRecvPoll")
                if left == 0:
                    return False
                if self._handle is None:
                    raise OSError(errno.EBADF, "the socket was closed during the wait")
                # Rounded up, so the wait never ends early.
                left = max(0, timeout_ms - math.floor((_clock() - started) * 1000))
        finally:
            calls.pop()
            if self._handle is None:
                self._release()


def _accelerator() -> Any:
    # The C Socket's module, unless the ctypes one is asked for or it does not
    # import: another interpreter, a CPython older than its floor, a wheel
    # without it.
    if os.environ.get("TIDELINK_PURE_PYTHON", "") not in ("", "0"):
        return None
    try:
        from . import _speedups
    except ImportError:
        return None
    return _speedups


_speedups = _accelerator()
ACCELERATED = _speedups is not None
"""True when Socket makes its calls through the accelerator, False through ctypes."""

if _speedups is not None:
    _functions: Tuple[Any, Tuple[int, ...]] = (None, ())

    def _addresses(lib: ctypes.CDLL) -> Tuple[int, ...]:
        # The accelerator's calls are load()'s library's functions, by address.
        global _functions
        if _functions[0] is not lib:
            _functions = (lib, tuple(ctypes.cast(getattr(lib, name), ctypes.c_void_p).value or 0
                                     for name in _speedups.CALLS))
        return _functions[1]

    class _AcceleratedSocket(_speedups.Socket):  # type: ignore[misc, name-defined]
        __doc__ = Socket.__doc__
        __slots__ = ()

        def __init__(self) -> None:
            """Creates the socket; OSError when the system refuses one."""
            lib = load()
            super().__init__(_addresses(lib), lib)

    Socket = _AcceleratedSocket  # type: ignore[misc]
