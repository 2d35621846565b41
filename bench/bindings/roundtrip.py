"""The 64-byte round trip of roundtrip.c through the Python binding's Socket.
Prints the median nanoseconds per round trip.
Run as: python3 -I roundtrip.py BINDING_DIR LIBRARY [COUNT [REPETITIONS]]"""
import sys
import time

sys.path.insert(0, sys.argv[1])
import tidelink  # noqa: E402


def main():
    tidelink.load(sys.argv[2])
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 20000
    repetitions = int(sys.argv[4]) if len(sys.argv) > 4 else 5
    payload = bytes(64)
    with tidelink.Socket() as a, tidelink.Socket() as b:
        a.bind(("127.0.0.1", 0))
        b.bind(("127.0.0.1", 0))
        a_end, b_end = a.getsockname(), b.getsockname()

        def leg(sender, receiver, to):
            if sender.sendto(payload, to) != 64 or not receiver.poll(1000):
                raise RuntimeError("round trip failed")
            if len(receiver.recvfrom(2048)[0]) != 64:
                raise RuntimeError("round trip failed")

        def trips(n):
            for _ in range(n):
                leg(a, b, b_end)
                leg(b, a, a_end)

        trips(count // 10)
        results = []
        for _ in range(repetitions):
            start = time.perf_counter_ns()
            trips(count)
            results.append((time.perf_counter_ns() - start) / count)
    results.sort()
    print("%.1f" % results[repetitions // 2])


main()
