"""The 64-byte round trip of roundtrip.c through the Python binding's Socket,
or, with `own` last, through Python's own socket and select.poll. Prints the
median nanoseconds per round trip.
Run as: python3 -I roundtrip.py BINDING_DIR LIBRARY [COUNT [REPETITIONS]] [own]"""
import select
import socket
import sys
import time

own = sys.argv[-1] == "own"
arguments = sys.argv[1:-1] if own else sys.argv[1:]


def binding_sockets():
    sys.path.insert(0, arguments[0])
    import tidelink
    tidelink.load(arguments[1])
    return [(s, s.poll) for s in (tidelink.Socket(), tidelink.Socket())]


def own_sockets():
    pairs = []
    for s in (socket.socket(socket.AF_INET, socket.SOCK_DGRAM), socket.socket(socket.AF_INET, socket.SOCK_DGRAM)):
        s.setblocking(False)
        poller = select.poll()
        poller.register(s, select.POLLIN)
        pairs.append((s, poller.poll))  # an empty list when the time ran out
    return pairs


def main():
    count = int(arguments[2]) if len(arguments) > 2 else 20000
    repetitions = int(arguments[3]) if len(arguments) > 3 else 5
    payload = bytes(64)
    buffer = bytearray(2048)
    (a, a_wait), (b, b_wait) = own_sockets() if own else binding_sockets()
    with a, b:
        a.bind(("127.0.0.1", 0))
        b.bind(("127.0.0.1", 0))
        a_end, b_end = a.getsockname(), b.getsockname()

        def leg(sender, receiver, wait, to):
            if sender.sendto(payload, to) != 64 or not wait(1000):
                raise RuntimeError("round trip failed")
            if receiver.recvfrom_into(buffer)[0] != 64:
                raise RuntimeError("round trip failed")

        def trips(n):
            for _ in range(n):
                leg(a, b, b_wait, b_end)
                leg(b, a, a_wait, a_end)

        trips(count // 10)
        results = []
        for _ in range(repetitions):
            start = time.perf_counter_ns()
            trips(count)
            results.append((time.perf_counter_ns() - start) / count)
    results.sort()
    print("%.1f" % results[repetitions // 2])


main()
