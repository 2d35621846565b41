#!/usr/bin/env bash
# Runs tidelink-ping as a user would and checks what it prints and answers.
# usage: ping_cli_test.sh CASE COMMAND...   (COMMAND may start with an emulator)
set -uo pipefail
case_name=$1
shift
ping=("$@")
scratch=$(mktemp -d)
trap 'kill "${responder:-}" 2>/dev/null; rm -rf "$scratch"' EXIT

fail() { echo "FAIL: $*" >&2; for f in "$scratch"/*; do echo "--- $f" >&2; cat "$f" >&2; done; exit 1; }
expect_in() { grep -qE -- "$2" "$1" || fail "expected /$2/ in $(basename "$1")"; }

run() {  # run NAME ARGS...: stdout and stderr to files, exit code in $status
    local name=$1
    shift
    timeout 60 "${ping[@]}" "$@" >"$scratch/$name.out" 2>"$scratch/$name.err"
    status=$?
}

# Starts a responder with the given arguments and sets $port from what it says.
start_responder() {
    "${ping[@]}" --echo 0 "$@" >"$scratch/echo.out" 2>"$scratch/echo.err" &
    responder=$!
    port=
    for _ in $(seq 300); do
        port=$(sed -n 's/^tidelink-ping: echoing on 0\.0\.0\.0:\([0-9]*\)$/\1/p' "$scratch/echo.out")
        [ -n "$port" ] && return
        sleep 0.1
    done
    fail "responder never said its port"
}

case $case_name in
default)
    run default
    [ "$status" -eq 0 ] || fail "default run answered $status"
    expect_in "$scratch/default.out" '^sent 10000, received 10000, lost 0$'
    expect_in "$scratch/default.out" '^round trip \(us\): min [0-9.]+, median [0-9.]+, p99 [0-9.]+, max [0-9.]+$'
    expect_in "$scratch/default.out" '^rate: [0-9]+ datagrams/s'
    ! grep -q $'\r' "$scratch/default.out" || fail "progress line written to a file"
    ;;
two-processes)
    start_responder --count 300
    for size in 0 1200 65507; do
        run "ping-$size" "127.0.0.1:$port" --count 100 --size "$size" --interval 1
        [ "$status" -eq 0 ] || fail "pinger answered $status for size $size"
        expect_in "$scratch/ping-$size.out" '^sent 100, received 100, lost 0$'
    done
    wait "$responder" || fail "responder answered $? after its count"
    ;;
unanswered)
    # Nothing listens on the port of a socket that was just closed by this responder.
    start_responder --count 1
    run first "127.0.0.1:$port" --count 1
    wait "$responder"
    run lost "127.0.0.1:$port" --count 3 --timeout 50
    [ "$status" -eq 1 ] || fail "lost pings answered $status, not 1"
    expect_in "$scratch/lost.out" '^sent 3, received 0, lost 3$'
    ;;
bad-arguments)
    i=0
    for args in "--size 65508" "--size -1" "--count 0" "--count x" "--timeout" "--bogus" \
                "1.2.3:4" "256.0.0.1:80" "127.0.0.1:0" "127.0.0.1:65536" "localhost:80" \
                "--echo 70000" "--echo 5 127.0.0.1:9" "127.0.0.1:9 127.0.0.1:10"; do
        i=$((i + 1))
        # shellcheck disable=SC2086
        run "bad-$i" $args
        [ "$status" -eq 2 ] || fail "'$args' answered $status, not 2"
        expect_in "$scratch/bad-$i.err" '^tidelink-ping: '
        expect_in "$scratch/bad-$i.err" '^usage: '
        [ ! -s "$scratch/bad-$i.out" ] || fail "'$args' wrote to stdout"
    done
    run help --help
    [ "$status" -eq 0 ] || fail "--help answered $status"
    expect_in "$scratch/help.out" '^usage: '
    ;;
*)
    fail "unknown case $case_name"
    ;;
esac
echo "ok: $case_name"
