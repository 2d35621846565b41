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
# for the script itself and a stub for each command. id answers root; apt-get
# logs its arguments; dpkg-query reports installed every package but those
# in $scratch/NAME.absent.
machine() {
    local dir=$scratch/$1
    shift
    mkdir -p "$dir"
    ln -s "$(command -v bash)" "$dir/bash"
    ln -s "$(command -v grep)" "$dir/grep"
    for command in "$@"; do
        case $command in
        id) body='echo 0' ;;
        apt-get) body="echo \"\$*\" >>'$dir.apt'" ;;
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
grep -qx 'install -y -qq --no-install-recommends libgtest-dev' "$scratch/debian.apt" ||
    fail "apt-get was not asked for exactly the missing library: $(cat "$scratch/debian.apt" 2>/dev/null)"

machine debian-complete "${build_tools[@]}" dpkg-query apt-get
run debian-complete
[ "$status" -eq 0 ] && [ ! -e "$scratch/debian-complete.apt" ] || fail "apt-get ran with nothing missing"
echo "ok: install-deps"
