#!/bin/sh
# Runs binding_test.py on a wheel as a user meets it: pip picks this
# machine's from a folder of wheels into a fresh virtual environment, and the
# test runs from a folder outside the tree with no library path set.
# Run as: installed_wheel.sh PYTHON WHEEL_FOLDER (PYTHON: any python3 with venv).
set -eu
python=$1 wheels=$(realpath "$2") test=$(cd "$(dirname "$0")" && pwd)/binding_test.py
here=$(mktemp -d)
trap 'rm -rf "$here"' EXIT
"$python" -m venv "$here/venv"
"$here/venv/bin/python" -m pip install -q --no-index --disable-pip-version-check --find-links "$wheels" tidelink

# The wheel's manylinux tag promises at most that glibc: no newer symbol may
# have crept into its library.
package=$(echo "$here"/venv/lib/python3*/site-packages)
promised=$(sed -n 's/^Tag: py3-none-manylinux_2_\([0-9]*\)_.*/\1/p' "$package"/tidelink-*.dist-info/WHEEL)
library=$package/tidelink/libtidelink_android.so
needed=$(readelf --dyn-syms -W "$library" | grep -o 'GLIBC_2\.[0-9]*' | cut -d. -f2 | sort -n | tail -n1)
if [ -n "$promised" ]; then
    [ "${needed:-0}" -le "$promised" ] || { echo "FAIL: needs GLIBC_2.$needed, tagged 2_$promised" >&2; exit 1; }
    echo "ok   needs GLIBC_2.${needed:-0}, tagged manylinux_2_$promised"
fi

cd "$here"
env -u LD_LIBRARY_PATH -u PYTHONPATH "$here/venv/bin/python" -I -B "$test"
