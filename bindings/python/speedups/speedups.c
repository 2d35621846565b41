/* tidelink._speedups: the Python binding's Socket in C, for CPython from
 * 3.11 on through the limited API (one binary for every later CPython;
 * 3.11 is the first whose limited API has the buffer protocol). The package
 * falls back to its ctypes Socket wherever this does not import.
 *
 * It is not linked against libtidelink_android: the package hands each
 * Socket the addresses of the functions in the library that tidelink.load()
 * loaded, in the order of CALLS, with the object that keeps them loaded (the
 * CDLL), so that load(path) keeps its meaning.
 *
 * The close contract is the ctypes Socket's: close() returns at once from
 * any thread, no call starts after it, and the record is freed by whoever is
 * last out, close() or the last call in flight. Every count and flag below
 * changes only with the interpreter's lock held (the limited API has no
 * free-threaded build), and the lock is let go around each library call. */
#include <Python.h>

#include <arpa/inet.h>
#include <errno.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "tidelink.h"

typedef UdpSocket* (*create_fn)(void);
typedef UdpResult (*bind_fn)(UdpSocket*, UdpEndPoint);
typedef UdpResult (*endpoint_fn)(UdpSocket*, UdpEndPoint*);
typedef int32_t (*last_error_fn)(UdpSocket*);
typedef UdpResult (*send_fn)(UdpSocket*, const void*, int32_t, UdpEndPoint);
typedef UdpResult (*receive_fn)(UdpSocket*, void*, int32_t, UdpEndPoint*);
typedef UdpResult (*wait_fn)(UdpSocket*, int32_t);
typedef int32_t (*close_fn)(UdpSocket*);
typedef const char* (*error_string_fn)(int32_t);

/* The order in which Socket() takes the addresses. */
static const char* const calls[] = {"udpCreate",   "udpBind",     "udpGetEndPoint", "udpLastError",
                                    "udpSendTo",   "udpRecvFrom", "udpRecvPoll",    "udpClose",
                                    "udpPlatformErrorString"};
enum { CALL_COUNT = sizeof calls / sizeof calls[0] };

typedef struct {
    create_fn create;
    bind_fn bind;
    endpoint_fn endpoint;
    last_error_fn last_error;
    send_fn send;
    receive_fn receive;
    wait_fn wait;
    close_fn close;
    error_string_fn error_string;
} Library;

typedef struct {
    PyObject_HEAD
    Library lib;
    PyObject* owner; /* what keeps the functions there (the CDLL) */
    UdpSocket* handle; /* kept after close() for the calls still in flight */
    Py_ssize_t in_flight;
    int closed;
    int freed;
    /* The last destination and the last sender, which most datagrams share. */
    PyObject* destination;
    UdpEndPoint destination_endpoint;
    PyObject* sender;
    UdpEndPoint sender_endpoint;
} Socket;

/* A datagram this size or smaller is received on the stack and copied once
 * into its bytes object, as the limited API cannot shrink one. */
enum { STACK_RECEIVE = 4096 };

static PyObject* set_error(Socket* self, int number, const char* call) {
    const char* text;
    PyObject* decoded;
    PyObject* message;
    Py_BEGIN_ALLOW_THREADS
    text = self->lib.error_string(number);
    Py_END_ALLOW_THREADS
    decoded = PyUnicode_DecodeUTF8(text, (Py_ssize_t)strlen(text), "replace");
    if (decoded == NULL) return NULL;
    message = PyUnicode_FromFormat("%s: %U", call, decoded);
    Py_DECREF(decoded);
    if (message == NULL) return NULL;
    /* OSError picks the subclass for the number (BlockingIOError for EAGAIN). */
    PyObject* args = Py_BuildValue("(iN)", number, message);
    if (args == NULL) return NULL;
    PyErr_SetObject(PyExc_OSError, args);
    Py_DECREF(args);
    return NULL;
}

static PyObject* set_closed(const char* text) {
    PyObject* args = Py_BuildValue("(is)", EBADF, text);
    if (args != NULL) {
        PyErr_SetObject(PyExc_OSError, args);
        Py_DECREF(args);
    }
    return NULL;
}

/* Counts a call in flight and answers the handle, or NULL once closed. */
static UdpSocket* enter(Socket* self) {
    if (self->closed || self->handle == NULL) {
        set_closed("the socket is closed");
        return NULL;
    }
    self->in_flight++;
    return self->handle;
}

/* After close(), the last one out frees the record: 0, or udpClose's answer. */
static int32_t release(Socket* self) {
    int32_t result;
    if (self->in_flight != 0 || self->freed || self->handle == NULL) return 0;
    self->freed = 1;
    Py_BEGIN_ALLOW_THREADS
    result = self->lib.close(self->handle);
    Py_END_ALLOW_THREADS
    return result;
}

static void leave(Socket* self) {
    self->in_flight--;
    if (self->closed) (void)release(self);
}

static PyObject* address_tuple(UdpEndPoint endpoint) {
    uint32_t a = endpoint.address;
    return Py_BuildValue("(NI)",
                         PyUnicode_FromFormat("%u.%u.%u.%u", (unsigned)(a >> 24), (unsigned)((a >> 16) & 0xFFu),
                                              (unsigned)((a >> 8) & 0xFFu), (unsigned)(a & 0xFFu)),
                         (unsigned)endpoint.port);
}

static PyObject* sender_tuple(Socket* self, UdpEndPoint sender) {
    if (self->sender == NULL || self->sender_endpoint.address != sender.address ||
        self->sender_endpoint.port != sender.port) {
        PyObject* made = address_tuple(sender);
        if (made == NULL) return NULL;
        Py_XDECREF(self->sender);
        self->sender = made;
        self->sender_endpoint = sender;
    }
    Py_INCREF(self->sender);
    return self->sender;
}

/* ("a.b.c.d", port), read as the socket module reads it (inet_aton). */
static int parse_address(PyObject* address, UdpEndPoint* out) {
    PyObject* host;
    const char* text;
    long port;
    struct in_addr parsed;
    if (!PyTuple_Check(address) || PyTuple_Size(address) != 2) {
        PyErr_SetString(PyExc_TypeError, "an address is a (host, port) tuple");
        return -1;
    }
    host = PyTuple_GetItem(address, 0);
    if (!PyUnicode_Check(host)) {
        PyErr_SetString(PyExc_TypeError, "the host is a str, \"a.b.c.d\"");
        return -1;
    }
    text = PyUnicode_AsUTF8AndSize(host, NULL);
    if (text == NULL) return -1;
    if (inet_aton(text, &parsed) == 0) {
        PyErr_SetString(PyExc_OSError, "illegal IP address string passed to inet_aton");
        return -1;
    }
    port = PyLong_AsLong(PyTuple_GetItem(address, 1));
    if (port == -1 && PyErr_Occurred()) return -1;
    if (port < 0 || port > 0xFFFF) {
        PyErr_SetString(PyExc_OverflowError, "port must be 0-65535");
        return -1;
    }
    out->address = ntohl(parsed.s_addr);
    out->port = (uint16_t)port;
    out->reserved = 0;
    return 0;
}

/* (first, second), taking both references; NULL when either is. */
static PyObject* pair(PyObject* first, PyObject* second) {
    PyObject* made = first != NULL && second != NULL ? PyTuple_New(2) : NULL;
    if (made == NULL) {
        Py_XDECREF(first);
        Py_XDECREF(second);
        return NULL;
    }
    PyTuple_SetItem(made, 0, first);
    PyTuple_SetItem(made, 1, second);
    return made;
}

static int32_t clamp(Py_ssize_t size) {
    return size > INT32_MAX ? INT32_MAX : (int32_t)size;
}

static int Socket_init(PyObject* object, PyObject* args, PyObject* kwargs) {
    Socket* self = (Socket*)object;
    PyObject* table;
    PyObject* owner;
    void* addresses[CALL_COUNT];
    UdpSocket* handle;
    if (kwargs != NULL && PyDict_Size(kwargs) != 0) {
        PyErr_SetString(PyExc_TypeError, "Socket() takes no keyword arguments");
        return -1;
    }
    if (!PyArg_ParseTuple(args, "O!O", &PyTuple_Type, &table, &owner)) return -1;
    if (self->handle != NULL) {
        PyErr_SetString(PyExc_RuntimeError, "the socket is made already");
        return -1;
    }
    if (PyTuple_Size(table) != CALL_COUNT) {
        PyErr_SetString(PyExc_ValueError, "one address for each name in CALLS");
        return -1;
    }
    for (Py_ssize_t i = 0; i < CALL_COUNT; i++) {
        addresses[i] = PyLong_AsVoidPtr(PyTuple_GetItem(table, i));
        if (addresses[i] == NULL) {
            if (!PyErr_Occurred()) PyErr_Format(PyExc_ValueError, "no address for %s", calls[i]);
            return -1;
        }
    }
    /* The addresses are functions: through uintptr_t, as ISO C converts no
     * object pointer to a function pointer directly. */
#define FUNCTION(type, i) ((type)(uintptr_t)addresses[i])
    self->lib.create = FUNCTION(create_fn, 0);
    self->lib.bind = FUNCTION(bind_fn, 1);
    self->lib.endpoint = FUNCTION(endpoint_fn, 2);
    self->lib.last_error = FUNCTION(last_error_fn, 3);
    self->lib.send = FUNCTION(send_fn, 4);
    self->lib.receive = FUNCTION(receive_fn, 5);
    self->lib.wait = FUNCTION(wait_fn, 6);
    self->lib.close = FUNCTION(close_fn, 7);
    self->lib.error_string = FUNCTION(error_string_fn, 8);
#undef FUNCTION
    Py_BEGIN_ALLOW_THREADS
    handle = self->lib.create();
    Py_END_ALLOW_THREADS
    if (handle == NULL) {
        PyErr_SetString(PyExc_OSError, "udpCreate: the system refused a socket");
        return -1;
    }
    self->handle = handle;
    Py_INCREF(owner);
    self->owner = owner;
    return 0;
}

static void Socket_dealloc(PyObject* object) {
    Socket* self = (Socket*)object;
    PyTypeObject* type = Py_TYPE(object);
    /* No call is in flight: each holds a reference. */
    if (self->handle != NULL && !self->freed) {
        self->freed = 1;
        (void)self->lib.close(self->handle);
    }
    Py_XDECREF(self->destination);
    Py_XDECREF(self->sender);
    Py_XDECREF(self->owner);
    freefunc free_object = (freefunc)(uintptr_t)PyType_GetSlot(type, Py_tp_free);
    free_object(object);
    Py_DECREF(type);
}

static PyObject* Socket_close(PyObject* object, PyObject* unused) {
    Socket* self = (Socket*)object;
    int32_t result;
    (void)unused;
    if (self->closed || self->handle == NULL) Py_RETURN_NONE;
    self->closed = 1;
    result = release(self);
    if (result != 0) return set_error(self, result, "udpClose");
    Py_RETURN_NONE;
}

static PyObject* Socket_enter(PyObject* object, PyObject* unused) {
    (void)unused;
    Py_INCREF(object);
    return object;
}

static PyObject* Socket_exit(PyObject* object, PyObject* args) {
    (void)args;
    return Socket_close(object, NULL);
}

static PyObject* Socket_bind(PyObject* object, PyObject* address) {
    Socket* self = (Socket*)object;
    UdpEndPoint endpoint;
    UdpSocket* handle;
    UdpResult result;
    int number;
    if (parse_address(address, &endpoint) != 0) return NULL;
    if ((handle = enter(self)) == NULL) return NULL;
    Py_BEGIN_ALLOW_THREADS
    result = self->lib.bind(handle, endpoint);
    number = errno;
    Py_END_ALLOW_THREADS
    leave(self);
    if (result != 0) return set_error(self, number, "udpBind");
    Py_RETURN_NONE;
}

static PyObject* Socket_getsockname(PyObject* object, PyObject* unused) {
    Socket* self = (Socket*)object;
    UdpEndPoint endpoint = {0, 0, 0};
    UdpSocket* handle;
    (void)unused;
    if ((handle = enter(self)) == NULL) return NULL;
    Py_BEGIN_ALLOW_THREADS
    (void)self->lib.endpoint(handle, &endpoint);
    Py_END_ALLOW_THREADS
    leave(self);
    return address_tuple(endpoint);
}

static PyObject* Socket_last_error(PyObject* object, void* unused) {
    Socket* self = (Socket*)object;
    UdpSocket* handle;
    int32_t number;
    (void)unused;
    if ((handle = enter(self)) == NULL) return NULL;
    Py_BEGIN_ALLOW_THREADS
    number = self->lib.last_error(handle);
    Py_END_ALLOW_THREADS
    leave(self);
    return PyLong_FromLong(number);
}

static PyObject* Socket_closed(PyObject* object, void* unused) {
    (void)unused;
    return PyBool_FromLong(((Socket*)object)->closed || ((Socket*)object)->handle == NULL);
}

static PyObject* Socket_sendto(PyObject* object, PyObject* const* args, Py_ssize_t count) {
    Socket* self = (Socket*)object;
    Py_buffer data;
    UdpSocket* handle;
    UdpResult sent;
    int number;
    if (count != 2) {
        PyErr_SetString(PyExc_TypeError, "sendto(data, address)");
        return NULL;
    }
    PyObject* address = args[1];
    if (address != self->destination) {
        int same = self->destination != NULL ? PyObject_RichCompareBool(address, self->destination, Py_EQ) : 0;
        if (same < 0) return NULL;
        if (!same) {
            UdpEndPoint endpoint;
            if (parse_address(address, &endpoint) != 0) return NULL;
            Py_INCREF(address);
            Py_XDECREF(self->destination);
            self->destination = address;
            self->destination_endpoint = endpoint;
        }
    }
    UdpEndPoint endpoint = self->destination_endpoint;
    if (PyObject_GetBuffer(args[0], &data, PyBUF_SIMPLE) != 0) return NULL;
    if (data.len > INT32_MAX) {
        PyBuffer_Release(&data);
        PyErr_SetString(PyExc_OverflowError, "a datagram of more than 2**31 - 1 bytes");
        return NULL;
    }
    if ((handle = enter(self)) == NULL) {
        PyBuffer_Release(&data);
        return NULL;
    }
    Py_BEGIN_ALLOW_THREADS
    sent = self->lib.send(handle, data.buf, (int32_t)data.len, endpoint);
    number = errno;
    Py_END_ALLOW_THREADS
    leave(self);
    PyBuffer_Release(&data);
    if (sent < 0) return set_error(self, number, "udpSendTo");
    return PyLong_FromLong(sent);
}

/* One datagram into buffer; answers its count, or -1 with the exception set. */
static Py_ssize_t receive(Socket* self, void* buffer, int32_t size, UdpEndPoint* sender) {
    UdpSocket* handle;
    UdpResult count;
    int number;
    if ((handle = enter(self)) == NULL) return -1;
    Py_BEGIN_ALLOW_THREADS
    count = self->lib.receive(handle, buffer, size, sender);
    number = errno;
    Py_END_ALLOW_THREADS
    leave(self);
    if (count < 0) {
        set_error(self, number, "udpRecvFrom");
        return -1;
    }
    return count;
}

static PyObject* Socket_recvfrom(PyObject* object, PyObject* size_object) {
    Socket* self = (Socket*)object;
    char stack[STACK_RECEIVE];
    char* buffer = stack;
    UdpEndPoint sender = {0, 0, 0};
    Py_ssize_t size = PyLong_AsSsize_t(size_object);
    if (size == -1 && PyErr_Occurred()) return NULL;
    if (size < 0) {
        PyErr_SetString(PyExc_ValueError, "negative bufsize");
        return NULL;
    }
    size = clamp(size);
    if (size > STACK_RECEIVE && (buffer = PyMem_Malloc((size_t)size)) == NULL) return PyErr_NoMemory();
    Py_ssize_t count = receive(self, size ? buffer : NULL, (int32_t)size, &sender);
    PyObject* result = NULL;
    if (count >= 0) {
        PyObject* data = PyBytes_FromStringAndSize(buffer, count);
        result = pair(data, data != NULL ? sender_tuple(self, sender) : NULL);
    }
    if (buffer != stack) PyMem_Free(buffer);
    return result;
}

static PyObject* Socket_recvfrom_into(PyObject* object, PyObject* const* args, Py_ssize_t count) {
    Socket* self = (Socket*)object;
    Py_buffer view;
    UdpEndPoint sender = {0, 0, 0};
    Py_ssize_t nbytes = 0;
    if (count < 1 || count > 2) {
        PyErr_SetString(PyExc_TypeError, "recvfrom_into(buffer, nbytes=0)");
        return NULL;
    }
    if (count == 2 && (nbytes = PyLong_AsSsize_t(args[1])) == -1 && PyErr_Occurred()) return NULL;
    if (PyObject_GetBuffer(args[0], &view, PyBUF_WRITABLE) != 0) return NULL;
    if (nbytes < 0 || nbytes > view.len) {
        PyBuffer_Release(&view);
        PyErr_SetString(PyExc_ValueError, "nbytes is negative or larger than the buffer");
        return NULL;
    }
    int32_t size = clamp(nbytes ? nbytes : view.len);
    Py_ssize_t received = receive(self, size ? view.buf : NULL, size, &sender);
    PyBuffer_Release(&view);
    if (received < 0) return NULL;
    return pair(PyLong_FromSsize_t(received), sender_tuple(self, sender));
}

static int64_t monotonic_ns(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * 1000000000 + now.tv_nsec;
}

static PyObject* Socket_poll(PyObject* object, PyObject* timeout_object) {
    Socket* self = (Socket*)object;
    UdpSocket* handle;
    UdpResult result;
    int number;
    PyObject* answer = NULL;
    long timeout = PyLong_AsLong(timeout_object);
    if (timeout == -1 && PyErr_Occurred()) return NULL;
    if (timeout < 0) {
        PyErr_SetString(PyExc_ValueError, "timeout_ms must not be negative");
        return NULL;
    }
    if (timeout > INT32_MAX) {
        PyErr_SetString(PyExc_OverflowError, "timeout_ms must be at most 2**31 - 1");
        return NULL;
    }
    if ((handle = enter(self)) == NULL) return NULL;
    int64_t started = monotonic_ns();
    int32_t left = (int32_t)timeout;
    for (;;) {
        Py_BEGIN_ALLOW_THREADS
        result = self->lib.wait(handle, left);
        number = errno;
        Py_END_ALLOW_THREADS
        if (result == 0 || result == UDP_ERROR_TIMEOUT) {
            answer = PyBool_FromLong(result == 0);
            break;
        }
        /* The wait stores no error number: errno tells an interrupted wait. */
        if (number != EINTR) {
            set_error(self, number, "udpRecvPoll");
            break;
        }
        /* The signal's handler runs here; an exception it raises ends the wait. */
        if (PyErr_CheckSignals() != 0) break;
        if (left == 0) {
            answer = PyBool_FromLong(0);
            break;
        }
        if (self->closed) {
            set_closed("the socket was closed during the wait");
            break;
        }
        /* Whole milliseconds gone, rounded down, so the wait never ends early. */
        int64_t gone = (monotonic_ns() - started) / 1000000;
        left = gone >= timeout ? 0 : (int32_t)(timeout - gone);
    }
    leave(self);
    return answer;
}

#define FASTCALL(function) (PyCFunction)(void (*)(void))(function)
static PyMethodDef Socket_methods[] = {
    {"bind", Socket_bind, METH_O, "Binds to (host, port); port 0 lets the system choose. Then non-blocking."},
    {"getsockname", Socket_getsockname, METH_NOARGS,
     "The bound endpoint as the library learnt it; (\"0.0.0.0\", 0) before bind."},
    {"sendto", FASTCALL(Socket_sendto), METH_FASTCALL,
     "Sends bytes (or any buffer) as one datagram to (host, port); answers the count."},
    {"recvfrom", Socket_recvfrom, METH_O,
     "One datagram, cut to bufsize bytes, and its sender: (bytes, (host, port))."},
    {"recvfrom_into", FASTCALL(Socket_recvfrom_into), METH_FASTCALL,
     "Into a writable buffer (bytearray, memoryview...): (count, (host, port))."},
    {"poll", Socket_poll, METH_O,
     "Waits up to timeout_ms for a datagram: True when one is there, False when the time ran out."},
    {"close", Socket_close, METH_NOARGS, "Returns at once, from any thread; later calls do nothing."},
    {"__enter__", Socket_enter, METH_NOARGS, NULL},
    {"__exit__", Socket_exit, METH_VARARGS, NULL},
    {NULL, NULL, 0, NULL}};

static PyGetSetDef Socket_getset[] = {
    {"last_error", Socket_last_error, NULL,
     "The error number of the last failed bind, send or receive; 0 if none.", NULL},
    {"closed", Socket_closed, NULL, "True once close() has been called.", NULL},
    {NULL, NULL, NULL, NULL, NULL}};

/* The function slots are filled in at import: a slot is a void*, and ISO C
 * converts a function pointer to one only through an integer. */
static PyType_Slot Socket_slots[] = {
    {Py_tp_doc, (void*)"An IPv4 datagram socket on the library's functions at the addresses given."},
    {Py_tp_init, NULL},
    {Py_tp_new, NULL},
    {Py_tp_dealloc, NULL},
    {Py_tp_methods, Socket_methods},
    {Py_tp_getset, Socket_getset},
    {0, NULL}};

static PyType_Spec Socket_spec = {"tidelink._speedups.Socket", sizeof(Socket), 0,
                                  Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE, Socket_slots};

static struct PyModuleDef module = {PyModuleDef_HEAD_INIT, "_speedups",
                                    "The Socket's calls in C, on the library tidelink.load() loaded.",
                                    -1, NULL, NULL, NULL, NULL, NULL};

PyMODINIT_FUNC PyInit__speedups(void);

PyMODINIT_FUNC PyInit__speedups(void) {
    PyObject* names = NULL;
    PyObject* type = NULL;
    PyObject* made = PyModule_Create(&module);
    if (made == NULL) return NULL;
    if ((names = PyTuple_New(CALL_COUNT)) == NULL) goto failed;
    for (Py_ssize_t i = 0; i < CALL_COUNT; i++) {
        PyObject* name = PyUnicode_FromString(calls[i]);
        if (name == NULL || PyTuple_SetItem(names, i, name) != 0) goto failed;
    }
    if (PyModule_AddObjectRef(made, "CALLS", names) != 0) goto failed;
    Socket_slots[1].pfunc = (void*)(uintptr_t)Socket_init;
    Socket_slots[2].pfunc = (void*)(uintptr_t)PyType_GenericNew;
    Socket_slots[3].pfunc = (void*)(uintptr_t)Socket_dealloc;
    if ((type = PyType_FromSpec(&Socket_spec)) == NULL) goto failed;
    if (PyModule_AddObjectRef(made, "Socket", type) != 0) goto failed;
    Py_DECREF(names);
    Py_DECREF(type);
    return made;
failed:
    Py_XDECREF(names);
    Py_XDECREF(type);
    Py_DECREF(made);
    return NULL;
}
