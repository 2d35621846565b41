#!/bin/sh
# Holds the wheels in a folder to the Python ecosystem's checks: twine's on
# each wheel's metadata, mypy --strict on the package and on binding_test.py.
# Run as: python_checks.sh WHEEL_FOLDER (Debian's twine and mypy).
set -eu
wheels=$(realpath "$1") test=$(cd "$(dirname "$0")" && pwd)/binding_test.py
here=$(mktemp -d)
trap 'rm -rf "$here"' EXIT
twine check --strict "$wheels"/*.whl
# The wheels differ only in their library: the package of the first stands
# for all, checked against the oldest Python it claims.
set -- "$wheels"/*.whl
/usr/bin/python3 -m zipfile -e "$1" "$here/package"
mypy --strict --python-version 3.7 --cache-dir "$here/cache" "$here/package/tidelink" "$test"
