# Python wheels, one per architecture: dist/tidelink-<version>-py3-none-<platform>.whl,
# the library beside the module. Sourced by scripts/package.
need --optional python3-setuptools python3-wheel python3-build
"${TIDELINK_WHEEL_PYTHON:-/usr/bin/python3}" -c 'import build, setuptools, wheel' 2>/dev/null ||
    { echo "python: no python3 with build, setuptools and wheel (Debian: python3-build)" >&2; exit "$SKIP"; }
for arch in "${LINUX_ARCHES[@]}"; do
    library=$(native_library "$arch")
    wheel=$("$ROOT/scripts/packaging/wheel" "$arch" "$library" "$DIST")
    echo "python: ${wheel##*/}"
done
