#!/bin/sh
# Runs binding_test.py on a wheel as a user meets it: pip picks this
# machine's from a folder of wheels into a fresh virtual environment, and the
# test runs from a folder outside the tree with no library path set.
# Run as: installed_wheel.sh PYTHON WHEEL_FOLDER (PYTHON: any python3; one
# without venv and pip, as Debian's python3.11-minimal, gets the wheel for its
# platform unpacked onto its path, as pip would install it).
set -eu
python=$1 wheels=$(realpath "$2") test=$(cd "$(dirname "$0")" && pwd)/binding_test.py
case $python in */*) python=$(realpath "$python") ;; esac
here=$(mktemp -d)
trap 'rm -rf "$here"' EXIT
if "$python" -c 'import ensurepip, venv' 2>/dev/null; then
    "$python" -m venv "$here/venv"
    "$here/venv/bin/python" -m pip install -q --no-index --disable-pip-version-check --find-links "$wheels" tidelink
    package=$(echo "$here"/venv/lib/python3*/site-packages)
    run="$here/venv/bin/python -I -B"
else
    platform=$("$python" -c 'import sysconfig; print(sysconfig.get_platform().split("-", 1)[1])')
    set -- "$wheels"/tidelink-*_"$platform".whl
    [ -f "$1" ] || { echo "FAIL: no wheel for $platform in $wheels" >&2; exit 1; }
    echo "ok   no pip here: $(basename "$1") unpacked onto the path"
    package=$here/site
    unzip -q "$1" -d "$package"
    run="env PYTHONPATH=$package $python -s -B"
fi

# The wheel's manylinux tag promises at most that glibc: no newer symbol may
# have crept into its library.
promised=$(sed -n 's/^Tag: py3-none-manylinux_2_\([0-9]*\)_.*/\1/p' "$package"/tidelink-*.dist-info/WHEEL)
library=$package/tidelink/libtidelink_android.so
needed=$(readelf --dyn-syms -W "$library" | grep -o 'GLIBC_2\.[0-9]*' | cut -d. -f2 | sort -n | tail -n1)
if [ -n "$promised" ]; then
    [ "${needed:-0}" -le "$promised" ] || { echo "FAIL: needs GLIBC_2.$needed, tagged 2_$promised" >&2; exit 1; }
    echo "ok   needs GLIBC_2.${needed:-0}, tagged manylinux_2_$promised"
fi

cd "$here"
env -u LD_LIBRARY_PATH -u PYTHONPATH $run "$test"
