# Python wheels, one per architecture: dist/tidelink-<version>-py3-none-<platform>.whl,
# the library beside the module. Sourced by scripts/package.
need python3-setuptools python3-wheel python3-build
for arch in "${LINUX_ARCHES[@]}"; do
    library=$(native_library "$arch")
    wheel=$("$ROOT/scripts/packaging/wheel" "$arch" "$library" "$DIST")
    echo "python: ${wheel##*/}"
done
