# What the parts of scripts/package share: the version, the release tree of
# each architecture, the ELF checks for a prebuilt library and the checksum
# list.
# Sourced with ROOT set; each part runs in a process of its own with this
# sourced and NATIVES (the --native RID=PATH pairs) set.

DIST=$ROOT/dist
VERSION=$(sed -n 's/^#define TIDELINK_VERSION_\(MAJOR\|MINOR\|PATCH\) \+\([0-9]\+\)$/\2/p' \
    "$ROOT/include/tidelink.h" | paste -sd.)
[[ $VERSION =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "no version in include/tidelink.h" >&2; exit 1; }
# Archives and jars take their timestamps from the last commit, so the same
# tree gives the same bytes.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 0)}
export SOURCE_DATE_EPOCH
# The status a part answers when this machine can't build it.
SKIP=75

# The architectures, by the names the artifacts and the release presets
# (release-<arch>) use, with Debian's package of each one's compiler, and
# the ELF class and machine a --native library for it must have.
declare -A COMPILER=([x86_64]=g++ [x86_64-musl]=musl-tools [x86]=g++-i686-linux-gnu
    [armhf]=g++-arm-linux-gnueabihf [armv7]=g++-arm-linux-gnueabi [aarch64]=g++-aarch64-linux-gnu
    [riscv64]=g++-riscv64-linux-gnu)
declare -A ELF_MACHINE=([x86_64]="ELF64 Advanced Micro Devices X86-64" [aarch64]="ELF64 AArch64"
    [armv7]="ELF32 ARM" [x86]="ELF32 Intel 80386")
ARCHES=(x86_64 aarch64 armhf armv7 x86 riscv64 x86_64-musl)
# Those Linux hosts run, which the language packages serve (armv7's
# soft-float calls serve Android alone).
LINUX_ARCHES=(x86_64 aarch64 armhf x86 riscv64)

need() {
    "$ROOT/scripts/install-deps" "$@"
}

# The release tree for ARCH (build/release-ARCH/release: prefix/, debug/,
# jni/), from its release preset: configured afresh (the flags are the
# preset's and the toolchain file's as they stand now, not a cache's),
# built and tested, which lays the tree out; then the tested library's
# build-id goes into tested-build-id beside the build. With PACKAGE_UNTESTED,
# the shipped files alone are built, without the tests. Once per run of scripts/package: the parts share it. Prints
# the prefix.
native_prefix() {
    local arch=$1 build=$ROOT/build/release-$1
    if [ "$(cat "$build/run" 2>/dev/null)" != "$PACKAGE_RUN" ]; then
        need "${COMPILER[$arch]:?no architecture $arch}" >&2
        mkdir -p "$build"
        rm -f "$build/CMakeCache.txt" "$build/run" "$build/tested-build-id"
        local log=$build/package.log
        (
            cd "$ROOT"
            if [ -n "${PACKAGE_UNTESTED:-}" ]; then
                cmake --preset "release-$arch" -DTIDELINK_BUILD_TESTS=OFF &&
                    cmake --build --preset "release-$arch" --target tidelink_release_tree
            else
                cmake --preset "release-$arch" && cmake --build --preset "release-$arch" &&
                    ctest --preset "release-$arch"
            fi
        ) >"$log" 2>&1 || { tail -60 "$log" >&2; echo "release-$arch failed: $log" >&2; return 1; }
        [ -n "${PACKAGE_UNTESTED:-}" ] || readelf -n "$build/release/prefix/lib/libtidelink_android.so" |
            sed -n 's/^ *Build ID: *//p' >"$build/tested-build-id"
        echo "$PACKAGE_RUN" >"$build/run"
        if [ -n "${PACKAGE_UNTESTED:-}" ]; then
            echo "release-$arch: built (not tested)" >&2
        else
            echo "release-$arch: built, and its suite passed" >&2
        fi
    fi
    echo "$build/release/prefix"
}

native_library() {
    local prefix
    prefix=$(native_prefix "$1") && echo "$prefix/lib/libtidelink_android.so"
}

native_jni_library() {
    local prefix
    prefix=$(native_prefix "$1") || return 1
    [ -f "$prefix/../jni/lib/libtidelink_jni.so" ] ||
        { echo "no JNI library for $1: its build found no jni.h (Debian: default-jdk-headless)" >&2; return 1; }
    echo "$prefix/../jni/lib/libtidelink_jni.so"
}

# The release tests' ELF checks on a library built elsewhere (Android's,
# from the NDK) for ARCH.
check_library() {
    local arch=$1 library=$2 machine=${ELF_MACHINE[$1]} check out
    local checks=(exports soname needed textrel stack machine)
    [[ $machine == ELF64* ]] && checks+=(pagealign)
    for check in "${checks[@]}"; do
        out=$(cmake -DREADELF=readelf "-DLIBRARY=$library" "-DCHECK=$check" \
            "-DEXPORTS_FILE=$ROOT/tests/abi/exports.txt" -DSONAME=libtidelink_android.so -DPAGE_SIZE=16384 \
            "-DELF_CLASS=${machine%% *}" "-DELF_MACHINE=${machine#* }" \
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
