# Release archives for C and CMake hosts: dist/tidelink-<version>-<arch>.tar.gz
# holds what cmake --install lays out; -debug.tar.gz beside it holds the
# library's debug information under .build-id/, where gdb looks for it.
for arch in "${ARCHES[@]}"; do
    prefix=$(native_prefix "$arch")
    name=tidelink-$VERSION-$arch
    "$ROOT/cmake/tarball" "$prefix" "$name" "$DIST/$name.tar.gz"
    "$ROOT/cmake/tarball" "$prefix/../debug" "$name-debug" "$DIST/$name-debug.tar.gz"
    echo "archives: $name.tar.gz, $name-debug.tar.gz"
done
