#!/bin/sh
# Runs binding_test.py on a wheel as a user meets it: pip picks this
# machine's from a folder of wheels into a fresh virtual environment, and the
# test runs from a folder outside the tree with no library path set, once as
# the package chooses (the accelerator, where the wheel has it) and once
# through ctypes (TIDELINK_PURE_PYTHON=1).
# Run as: installed_wheel.sh PYTHON WHEEL_FOLDER (PYTHON: any python3; one
# without venv and pip, as Debian's python3.11-minimal, gets the wheel for its
# platform unpacked onto its path, as pip would install it).
set -eu
python=$1 wheels=$(realpath "$2") test=$(cd "$(dirname "$0")" && pwd)/binding_test.py
floor=$(cat "$(dirname "$0")/../../bindings/python/speedups/floor")
case $python in */*) python=$(realpath "$python") ;; esac
here=$(mktemp -d)
trap 'rm -rf "$here"' EXIT
# Whether this Python is one the accelerator serves, and so must get it.
served=false
"$python" -c 'import sys; sys.exit(sys.implementation.name != "cpython" or sys.version_info < tuple(map(int, sys.argv[1].split("."))))' \
    "$floor" && served=true
if "$python" -c 'import ensurepip, venv' 2>/dev/null; then
    "$python" -m venv "$here/venv"
    "$here/venv/bin/python" -m pip install -q --no-index --disable-pip-version-check --find-links "$wheels" tidelink
    package=$(echo "$here"/venv/lib/python3*/site-packages)
    run="$here/venv/bin/python -I -B"
else
    platform=$("$python" -c 'import sysconfig; print(sysconfig.get_platform().split("-", 1)[1])')
    kind=py3-none
    ! $served || kind="cp${floor%.*}${floor#*.}-abi3"
    set -- "$wheels"/tidelink-*-"$kind"-*_"$platform".whl
    [ -f "$1" ] || { echo "FAIL: no $kind wheel for $platform in $wheels" >&2; exit 1; }
    echo "ok   no pip here: $(basename "$1") unpacked onto the path"
    package=$here/site
    unzip -q "$1" -d "$package"
    run="env PYTHONPATH=$package $python -s -B"
fi

# Where the folder has an abi3 wheel, a CPython it serves gets that one, with
# the accelerator in it.
tag=$(sed -n 's/^Tag: //p' "$package"/tidelink-*.dist-info/WHEEL | head -n1)
speedups=$package/tidelink/_speedups.abi3.so
if $served && ls "$wheels"/tidelink-*-abi3-*.whl >/dev/null 2>&1; then
    case $tag in *-abi3-*) ;; *) echo "FAIL: installed the $tag wheel, not the abi3 one" >&2; exit 1 ;; esac
    [ -f "$speedups" ] || { echo "FAIL: the $tag wheel has no accelerator" >&2; exit 1; }
    echo "ok   installed the $tag wheel, with the accelerator"
fi

# The wheel's manylinux tag promises at most that glibc: no newer symbol may
# have crept into its library or its accelerator, which need the C library
# alone (with, where the stack protector's guard lives in it, its loader).
promised=$(echo "$tag" | sed -n 's/^[^-]*-[^-]*-manylinux_2_\([0-9]*\)_.*/\1/p')
set -- "$package/tidelink/libtidelink_android.so"
[ ! -f "$speedups" ] || set -- "$@" "$speedups"
needed=$(readelf --dyn-syms -W "$@" | grep -o 'GLIBC_2\.[0-9]*' | cut -d. -f2 | sort -n | tail -n1)
if [ -n "$promised" ]; then
    [ "${needed:-0}" -le "$promised" ] || { echo "FAIL: needs GLIBC_2.$needed, tagged 2_$promised" >&2; exit 1; }
    echo "ok   needs GLIBC_2.${needed:-0}, tagged manylinux_2_$promised"
fi
if [ -f "$speedups" ]; then
    cmake -DREADELF=readelf "-DLIBRARY=$speedups" -DCHECK=needed \
        -P "$(dirname "$0")/../../cmake/check_elf.cmake" || { echo "FAIL: the accelerator needs more" >&2; exit 1; }
fi

cd "$here"
env -u LD_LIBRARY_PATH -u PYTHONPATH -u TIDELINK_PURE_PYTHON $run "$test"
env -u LD_LIBRARY_PATH -u PYTHONPATH TIDELINK_PURE_PYTHON=1 $run "$test"
