# The Java jar: dist/tidelink-<version>.jar, the binding's classes and each
# architecture's library under JNA's resource folder for it. Sourced by scripts/package.
need default-jdk-headless libjna-java
natives=()
for arch in $(buildable "${LINUX_ARCHES[@]}"); do
    library=$(native_library "$arch")
    natives+=("$arch=$library")
done
"$ROOT/scripts/packaging/jar" "$DIST/tidelink-$VERSION.jar" "$VERSION" "${natives[@]}"
echo "java: tidelink-$VERSION.jar for ${natives[*]%%=*}"
