# The Java jar: dist/tidelink-<version>.jar, the binding's classes and each
# architecture's library under JNA's resource folder for it. Sourced by scripts/package.
need default-jdk-headless libjna-java
natives=()
for arch in x86_64 aarch64 armhf x86 riscv64; do
    if ! has_arch "$arch"; then
        echo "java: no $arch toolchain in this tree"
        continue
    fi
    library=$(native_library "$arch")
    natives+=("$arch=$library")
done
"$ROOT/scripts/packaging/jar" "$DIST/tidelink-$VERSION.jar" "$VERSION" "${natives[@]}"
echo "java: tidelink-$VERSION.jar for ${natives[*]%%=*}"
