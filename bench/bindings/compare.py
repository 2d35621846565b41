"""Runs the rows of rows.txt (bench/bindings/CMakeLists.txt writes it),
interleaved over ROUNDS rounds, and prints each row's median as a ratio to
C's, and each binding's to its own language's sockets and (the .NET
runtimes) to C in a process with a thread more. Exits 3 when a binding is
above its target.
Run as: compare.py ROWS_FILE ROUNDS COUNT [ROW...]"""
import shlex
import statistics
import subprocess
import sys

# Each binding's own language's sockets, and its targets against them and
# against C+thread.
OWN = {"CoreCLR": "CoreCLR.own", "NativeAOT": "CoreCLR.own", "Mono": "Mono.own", "Java": "Java.own",
       "Python": "Python.own", "Python.ctypes": "Python.own"}
OWN_TARGET = {"CoreCLR": 1.0, "NativeAOT": 1.0, "Mono": 1.0, "Java": 1.0, "Python": 1.0, "Python.ctypes": 1.3}
THREAD_TARGET = {"CoreCLR": 1.05, "NativeAOT": 1.05}
CALLS_PER_ROUND_TRIP = 6


def main(rows_file, rounds, count, *chosen):
    with open(rows_file) as rows:
        commands = dict(line.rstrip("\n").split("|", 1) for line in rows if "|" in line)
    names = ["C", *chosen] if chosen else list(commands)
    times = {name: [] for name in names}
    clocks = {name: [] for name in names}
    for round_number in range(1, int(rounds) + 1):
        for name in names:
            words = [count if word == "COUNT" else word for word in shlex.split(commands[name])]
            result = subprocess.run(words, stdout=subprocess.PIPE, text=True)
            if result.returncode != 0 or not result.stdout.split():
                sys.exit("%s failed (%d)" % (name, result.returncode))
            fields = [float(field) for field in result.stdout.split()]
            times[name].append(fields[0])
            clocks[name].extend(fields[1:2])
            clock = ", %s ns per clock call" % fields[1] if len(fields) > 1 else ""
            print("round %d: %s %.1f ns per round trip%s" % (round_number, name, fields[0], clock), flush=True)

    median = {name: statistics.median(values) for name, values in times.items()}
    print("\n%-14s %14s %6s %14s %14s %13s %10s" % ("row", "ns/round trip", "/C", "/C+thread", "/own sockets",
                                                    "ns/call more", "ns/clock"))
    above = 0
    for name in names:
        ns = median[name]
        cells, notes = [], ""
        for versus, targets in (("C+thread", THREAD_TARGET), (OWN.get(name), OWN_TARGET)):
            target = targets.get(name)
            if target is None or versus not in median:
                cells.append("")
                continue
            ratio = ns / median[versus]
            cells.append("%.2f (%s)" % (ratio, target))
            if ratio > target:
                notes += "  above %s" % target
                above += 1
        more = "" if name in ("C", "C+thread") or name.endswith(".own") else \
            "%.0f" % ((ns - median["C"]) / CALLS_PER_ROUND_TRIP)
        clock = "%.1f" % statistics.median(clocks[name]) if clocks[name] else ""
        print("%-14s %14.1f %6.2f %14s %14s %13s %10s%s" % (name, ns, ns / median["C"], cells[0], cells[1], more,
                                                            clock, notes))
    print("(%s round trips of 64 bytes a repetition, median of 5 repetitions per run, median of %s runs; "
          "targets in brackets)" % (count, rounds))
    return 3 if above else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
