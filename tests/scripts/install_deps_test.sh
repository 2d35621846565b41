#!/usr/bin/env bash
# Runs scripts/install-deps on machines made of a PATH alone: with and
# without Debian's tools, with and without what the build needs.
# usage: install_deps_test.sh path/to/install-deps
set -uo pipefail
install_deps=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# machine NAME COMMAND...: a folder to be the whole PATH, with bash and grep
# for the script itself and a stub for each command. id answers root (user:
# an id that answers 1000 instead); apt-get logs its arguments and fails if
# one is in $scratch/NAME.broken; dpkg-query reports installed every package
# but those in $scratch/NAME.absent.
machine() {
    local dir=$scratch/$1
    shift
    mkdir -p "$dir"
    ln -s "$(command -v bash)" "$dir/bash"
    ln -s "$(command -v grep)" "$dir/grep"
    for command in "$@"; do
        case $command in
        id) body='echo 0' ;;
        user) command=id body='echo 1000' ;;
        apt-get) body="echo \"\$*\" >>'$dir.apt'; for a; do ! grep -qx \"\$a\" '$dir.broken' 2>/dev/null || exit 100; done" ;;
        dpkg-query) body="grep -qx \"\$3\" '$dir.absent' 2>/dev/null || printf 'install ok installed'" ;;
        *) body='exit 0' ;;
        esac
        printf '#!/bin/sh\n%s\n' "$body" >"$dir/$command"
        chmod +x "$dir/$command"
    done
}

run() {  # run NAME: the script's default set on that machine
    PATH=$scratch/$1 "$install_deps" >"$scratch/$1.out" 2>"$scratch/$1.err"
    status=$?
}

build_tools=(cmake ninja g++ pkg-config id)

machine plain "${build_tools[@]}"
run plain
[ "$status" -eq 0 ] || fail "with every command present and no Debian tools: exit $status, $(cat "$scratch/plain.err")"

machine no-ninja cmake g++ pkg-config id
run no-ninja
[ "$status" -eq 1 ] || fail "without ninja: exit $status, not 1"
grep -qx 'missing: ninja (Debian package ninja-build)' "$scratch/no-ninja.err" || fail "ninja not named: $(cat "$scratch/no-ninja.err")"

# What only some tests need is named, and the run goes on.
PATH=$scratch/no-ninja "$install_deps" --optional ninja-build 2>"$scratch/optional.err"
[ $? -eq 0 ] || fail "a missing optional command stopped the run"
grep -qx 'missing: ninja (Debian package ninja-build)' "$scratch/optional.err" || fail "optional ninja not named"

machine debian "${build_tools[@]}" dpkg-query apt-get
echo libgtest-dev >"$scratch/debian.absent"
run debian
[ "$status" -eq 0 ] || fail "on Debian: exit $status"
grep -q ' install -y -qq --no-install-recommends libgtest-dev$' "$scratch/debian.apt" ||
    fail "apt-get was not asked for exactly the missing library: $(cat "$scratch/debian.apt" 2>/dev/null)"

machine debian-complete "${build_tools[@]}" dpkg-query apt-get
run debian-complete
[ "$status" -eq 0 ] && [ ! -e "$scratch/debian-complete.apt" ] || fail "apt-get ran with nothing missing"
# Without root or sudo: the optional set is named with its install command and
# the run goes on; the required set stops.
machine no-root "${build_tools[@]/id/user}" dpkg-query apt-get
echo libjna-java >"$scratch/no-root.absent"
PATH=$scratch/no-root "$install_deps" --optional libjna-java 2>"$scratch/no-root.err"
[ $? -eq 0 ] || fail "without root or sudo, a missing optional package stopped the run"
grep -qx '  as root: apt-get install libjna-java' "$scratch/no-root.err" || fail "no install command named: $(cat "$scratch/no-root.err")"
[ ! -e "$scratch/no-root.apt" ] || fail "apt-get ran without root or sudo"
echo libgtest-dev >"$scratch/no-root.absent"
run no-root
[ "$status" -eq 1 ] && grep -q 'libgtest-dev' "$scratch/no-root.err" || fail "without root, a missing required package: exit $status"

# An optional package apt-get can't install leaves the others installed.
machine apt-fails "${build_tools[@]}" dpkg-query apt-get
printf '%s\n' mono-mcs unzip >"$scratch/apt-fails.absent"
echo mono-mcs >"$scratch/apt-fails.broken"
PATH=$scratch/apt-fails "$install_deps" --optional mono-mcs unzip >/dev/null 2>"$scratch/apt-fails.err"
[ $? -eq 0 ] || fail "a failed optional install stopped the run"
grep -q ' install -y -qq --no-install-recommends unzip$' "$scratch/apt-fails.apt" || fail "unzip was not installed alone"
grep -qx '  as root: apt-get install mono-mcs' "$scratch/apt-fails.err" || fail "the failed package not named: $(cat "$scratch/apt-fails.err")"
echo "ok: install-deps"
