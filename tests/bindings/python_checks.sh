#!/bin/sh
# Holds the wheels in a folder to the Python ecosystem's checks: twine's on
# each wheel's metadata, __version__, mypy --strict on the package and binding_test.py.
# Run as: python_checks.sh WHEEL_FOLDER (Debian's twine and mypy).
set -eu
wheels=$(realpath "$1") test=$(cd "$(dirname "$0")" && pwd)/binding_test.py
here=$(mktemp -d)
trap 'rm -rf "$here"' EXIT
cd "$here"  # where no folder can pass for a module Python imports
twine check --strict "$wheels"/*.whl
# The wheels differ only in their library and whether the accelerator is
# there: the package of the first abi3 one stands for all, checked against
# the oldest Python it claims.
set -- "$wheels"/*-abi3-*.whl
[ -f "$1" ] || set -- "$wheels"/*.whl
python3 -m zipfile -e "$1" "$here/package"
# The version the package says is the one its wheel is named for.
version=$(basename "$1" | cut -d- -f2)
said=$(PYTHONPATH="$here/package" python3 -c 'import tidelink; print(tidelink.__version__)')
[ "$said" = "$version" ] || { echo "FAIL: tidelink.__version__ is $said, the wheel's version $version" >&2; exit 1; }
# mypy checks against the oldest Python the wheel claims, or the oldest this
# mypy still knows (3.8 from Debian 13's on).
claimed=$(sed -n 's/^Requires-Python: >=//p' "$here"/package/tidelink-*.dist-info/METADATA)
# shellcheck disable=SC2046 # the interpreter line may carry an argument
oldest=$($(sed -n '1s/^#! *//p' "$(command -v mypy)") -c \
    'import sys; from mypy.defaults import PYTHON3_VERSION_MIN as m; print("%d.%d" % max(m, tuple(map(int, sys.argv[1].split(".")))))' "$claimed")
mypy --strict --python-version "$oldest" --cache-dir "$here/cache" "$here/package/tidelink" "$test"
