# What the parts of scripts/package share: the version, the release tree of
# each architecture, the ELF checks for a prebuilt library and the checksum
# list.
# Sourced with ROOT set, once cmake is installed; each part runs in a
# process of its own with this sourced and NATIVES (the --native RID=PATH
# pairs) set.

DIST=$ROOT/dist
VERSION=$(cmake -P "$ROOT/cmake/version.cmake")
# Archives, jars and the NuGet package (whose SDK honours it) take their
# timestamps from the last commit, so the same tree gives the same bytes;
# outside a git checkout, from 1980, the earliest a zip entry can carry.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 315532800)}
export SOURCE_DATE_EPOCH
# The status a part answers when this machine can't build it.
SKIP=75

# The architectures (cmake/architectures.txt), and those Linux hosts run,
# which the language packages serve (armv7's soft-float calls serve Android
# alone).
ARCHITECTURES=$ROOT/cmake/architectures
mapfile -t ARCHES < <("$ARCHITECTURES" arch | cut -d' ' -f1)
mapfile -t LINUX_ARCHES < <("$ARCHITECTURES" machine | cut -d' ' -f1)

need() {
    "$ROOT/scripts/install-deps" "$@"
}

# The release tree for ARCH (build/release-ARCH/release: prefix/, debug/,
# jni/), from its release preset, once per run of scripts/package (the
# parts share it): configured afresh (the flags are the preset's and the
# toolchain file's as they stand now, not a cache's), built and tested,
# which lays the tree out; then the tested library's build-id goes into
# tested-build-id beside the build. With PACKAGE_UNTESTED, the shipped files
# alone are built, without the tests. Prints the prefix.
native_prefix() {
    local arch=$1 preset=release-$1 build=$ROOT/build/release-$1
    if [ "$(cat "$build/run" 2>/dev/null)" != "$PACKAGE_RUN" ]; then
        need "$("$ARCHITECTURES" compiler "$arch")" >&2
        local headers
        headers=$(python_headers "$arch") || return 1
        mkdir -p "$build"
        rm -f "$build/CMakeCache.txt" "$build/run" "$build/tested-build-id"
        (
            cd "$ROOT"
            if [ -n "${PACKAGE_UNTESTED:-}" ]; then
                cmake --preset "$preset" -DTIDELINK_BUILD_TESTS=OFF "-DTIDELINK_PYTHON_HEADERS=$headers" &&
                    cmake --build --preset "$preset" --target tidelink_release_tree
            else
                cmake --preset "$preset" "-DTIDELINK_PYTHON_HEADERS=$headers" && cmake --build --preset "$preset" &&
                    ctest --preset "$preset"
            fi
        ) >"$build/package.log" 2>&1 ||
            { tail -60 "$build/package.log" >&2; echo "$preset failed: $build/package.log" >&2; return 1; }
        if [ -z "${PACKAGE_UNTESTED:-}" ]; then
            readelf -n "$build/release/prefix/lib/libtidelink_android.so" |
                sed -n 's/^ *Build ID: *//p' >"$build/tested-build-id"
            echo "$preset: built, and its suite passed" >&2
        fi
        echo "$PACKAGE_RUN" >"$build/run"
    fi
    echo "$build/release/prefix"
}

# The root of ARCH's CPython headers for the Python binding's accelerator,
# when the wheels are among the parts (PACKAGE_PYTHON) and ARCH has one:
# this machine's own ("/", Debian's python3-dev) or, for another
# architecture, Debian's unpacked into build/python-headers/ (riscv64's from
# Debian 13). Prints nothing when no accelerator is built.
python_headers() {
    local arch=$1 debian
    [ -n "${PACKAGE_PYTHON:-}" ] && "$ARCHITECTURES" machine "$arch" >/dev/null || return 0
    debian=$("$ARCHITECTURES" debian "$arch")
    if [ "$debian" = "$(dpkg --print-architecture)" ]; then
        need python3-dev >&2
        echo /
    else
        "$ROOT/scripts/fetch-target-runtime" python-headers "$debian" "$ROOT/build/python-headers/$debian" >&2 &&
            echo "$ROOT/build/python-headers/$debian"
    fi
}

# release_file ARCH FILE WHY: FILE of ARCH's release tree, or a failure
# saying it is missing and why.
release_file() {
    local prefix
    prefix=$(native_prefix "$1") || return 1
    [ -f "$prefix/../$2" ] || { echo "no ${2##*/} for $1: $3" >&2; return 1; }
    echo "$prefix/../$2"
}

# The Python binding's accelerator built for ARCH (python_headers).
native_speedups() {
    release_file "$1" python/_speedups.abi3.so "its build found no CPython headers"
}

native_library() {
    release_file "$1" prefix/lib/libtidelink_android.so "its release build failed"
}

native_jni_library() {
    release_file "$1" jni/lib/libtidelink_jni.so "its build found no jni.h (Debian: default-jdk-headless)"
}

# The release tests' ELF checks on a library built elsewhere (Android's,
# from the NDK) for ARCH.
check_library() {
    local arch=$1 library=$2 check out class machine
    class=$("$ARCHITECTURES" elf_class "$arch") machine=$("$ARCHITECTURES" elf_machine "$arch")
    local checks=(exports soname needed textrel stack machine)
    [ "$class" != ELF64 ] || checks+=(pagealign)
    for check in "${checks[@]}"; do
        out=$(cmake -DREADELF=readelf "-DLIBRARY=$library" "-DCHECK=$check" \
            "-DEXPORTS_FILE=$ROOT/tests/abi/exports.txt" -DSONAME=libtidelink_android.so -DPAGE_SIZE=16384 \
            "-DELF_CLASS=$class" "-DELF_MACHINE=$machine" \
            -P "$ROOT/cmake/check_elf.cmake" 2>&1) || { echo "$arch: $out" >&2; return 1; }
        echo "$arch: ${out#-- }"
    done
}

# dist/SHA256SUMS: every artifact in dist/, in sha256sum -c's format.
write_checksums() {
    local sums
    sums=$(cd "$DIST" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort |
        xargs -r -d '\n' sha256sum)
    printf '%s\n' "$sums" >"$DIST/SHA256SUMS"
}
