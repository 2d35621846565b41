# Python wheels, two per architecture, the library beside the module:
# dist/tidelink-<version>-py3-none-<platform>.whl, and -cp3N-abi3-<platform>.whl
# with the accelerator too. Sourced by scripts/package.
need --optional python3-setuptools python3-wheel python3-build
"${TIDELINK_WHEEL_PYTHON:-/usr/bin/python3}" -c 'import build, setuptools, wheel' 2>/dev/null ||
    { echo "python: no python3 with build, setuptools and wheel (Debian: python3-build)" >&2; exit "$SKIP"; }
for arch in "${LINUX_ARCHES[@]}"; do
    library=$(native_library "$arch") speedups=$(native_speedups "$arch")
    "$ROOT/scripts/packaging/wheel" "$arch" "$library" "$DIST" "$speedups" | while read -r wheel; do
        echo "python: ${wheel##*/}"
    done
done
