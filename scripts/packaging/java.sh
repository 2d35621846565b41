# The Java jars: dist/tidelink-<version>.jar, the binding's classes and each
# architecture's library and JNI library under the binding's resource folder
# for it, and -sources.jar and -javadoc.jar beside it. Sourced by scripts/package.
need --optional default-jdk-headless
cmake -P "$ROOT/cmake/jdk.cmake" 2>/dev/null ||
    { echo "java: no JDK with jni.h (Debian: default-jdk-headless)" >&2; exit "$SKIP"; }
natives=()
for arch in "${LINUX_ARCHES[@]}"; do
    library=$(native_library "$arch")
    jni=$(native_jni_library "$arch")
    natives+=("$arch=$library,$jni")
done
"$ROOT/scripts/packaging/jar" "$DIST/tidelink-$VERSION.jar" "$VERSION" "${natives[@]}"
echo "java: tidelink-$VERSION.jar, -sources.jar and -javadoc.jar for ${natives[*]%%=*}"
