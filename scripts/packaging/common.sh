# What the parts of scripts/package share: the version, the release build of
# the library for each architecture, the ELF checks and the checksum list.
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

# The architectures, by the names the artifacts use:
#   arch: toolchain file (none: the build machine's gcc), Debian's cross
#   compiler package, binutils prefix, ELF class and machine as readelf names them.
#   x86_64-musl is x86-64 with musl's C library (musl-tools), for Alpine.
declare -A TOOLCHAIN=([x86_64]="" [aarch64]=aarch64-linux-gnu [armhf]=arm-linux-gnueabihf
    [armv7]=arm-linux-gnueabi [x86]=i686-linux-gnu [riscv64]=riscv64-linux-gnu [x86_64-musl]=x86_64-linux-musl)
declare -A ELF_MACHINE=([x86_64]="ELF64 Advanced Micro Devices X86-64" [aarch64]="ELF64 AArch64"
    [armhf]="ELF32 ARM" [armv7]="ELF32 ARM" [x86]="ELF32 Intel 80386" [riscv64]="ELF64 RISC-V"
    [x86_64-musl]="ELF64 Advanced Micro Devices X86-64")
ARCHES=(x86_64 aarch64 armhf armv7 x86 riscv64 x86_64-musl)
# Those Linux hosts run, which the language packages serve (armv7's
# soft-float calls serve Android alone).
LINUX_ARCHES=(x86_64 aarch64 armhf x86 riscv64)

need() {
    "$ROOT/scripts/install-deps" "$@"
}

# Whether this tree builds ARCH: the build machine's own, or a cross
# toolchain file for it.
has_arch() {
    local triple=${TOOLCHAIN[$1]-missing}
    [ "$triple" != missing ] && { [ -z "$triple" ] || [ -f "$ROOT/cmake/toolchains/$triple.cmake" ]; }
}

# The ARCHs given that this tree builds, one a line; the others are named on
# standard error.
buildable() {
    local arch
    for arch in "$@"; do
        if has_arch "$arch"; then
            echo "$arch"
        else
            echo "no $arch toolchain in this tree: left out" >&2
        fi
    done
}

# The release library for ARCH, built once per tree into build/package/ARCH:
# gcc, Release with debug information that is then split off by build-id
# (into build/package/ARCH/debug/.build-id/), stripped and checked. Prints
# the installed prefix; the library is its lib/libtidelink_android.so. The
# Java binding's JNI library, built beside it where a JDK's jni.h is at hand,
# goes stripped and checked into build/package/ARCH/jni/, outside the prefix.
native_prefix() {
    local arch=$1
    has_arch "$arch" || { echo "no toolchain for $arch in this tree" >&2; return 1; }
    local triple=${TOOLCHAIN[$arch]} build=$ROOT/build/package/$arch
    local configure=(-G Ninja -DCMAKE_BUILD_TYPE=Release
        "-DCMAKE_C_FLAGS_RELEASE=-O3 -DNDEBUG -g -ffile-prefix-map=$ROOT=."
        "-DCMAKE_CXX_FLAGS_RELEASE=-O3 -DNDEBUG -g -ffile-prefix-map=$ROOT=."
        -DTIDELINK_BUILD_TESTS=OFF -DTIDELINK_BUILD_EXAMPLES=OFF -DTIDELINK_BUILD_BENCH=OFF
        -DCMAKE_INSTALL_LIBDIR=lib)
    local binutils=
    # Linux hosts on riscv64 run the distributions' baseline, without the
    # extensions Android's riscv64 ABI adds.
    [ "$arch" != riscv64 ] || configure+=(-DTIDELINK_RISCV64_MARCH=rv64gc)
    # Those on x86 run i686 code with x87 floating point, without SSE.
    [ "$arch" != x86 ] || configure+=(-DTIDELINK_X86_FLAGS=-march=i686)
    if [ "$arch" = x86_64-musl ]; then
        need musl-tools >&2
        configure+=("-DCMAKE_TOOLCHAIN_FILE=$ROOT/cmake/toolchains/$triple.cmake")
    elif [ -n "$triple" ]; then
        need "g++-$triple" >&2
        configure+=("-DCMAKE_TOOLCHAIN_FILE=$ROOT/cmake/toolchains/$triple.cmake")
        binutils=$triple-
    else
        configure+=(-DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++)
    fi
    # Once per run of scripts/package: the parts share what the first built.
    if [ -n "${PACKAGE_RUN:-}" ] && [ "$(cat "$build/run" 2>/dev/null)" = "$PACKAGE_RUN" ]; then
        echo "$build/prefix"
        return
    fi
    # Configured afresh each run, so that the flags are the toolchain file's
    # as it stands now, not those a cache kept.
    mkdir -p "$build"
    rm -f "$build/CMakeCache.txt" "$build/run"
    cmake -S "$ROOT" -B "$build" "${configure[@]}" >"$build/configure.log" 2>&1 ||
        { cat "$build/configure.log" >&2; return 1; }
    cmake --build "$build" >"$build/build.log" 2>&1 || { cat "$build/build.log" >&2; return 1; }
    rm -rf "$build/prefix" "$build/debug" "$build/jni"
    cmake --install "$build" --prefix "$build/prefix" >/dev/null || return 1

    local library=$build/prefix/lib/libtidelink_android.so id
    id=$(readelf -n "$library" | sed -n 's/^ *Build ID: *\([0-9a-f]*\)$/\1/p')
    [ -n "$id" ] || { echo "$library has no build-id" >&2; return 1; }
    mkdir -p "$build/debug/.build-id/${id:0:2}"
    # Called for its output, where errexit does not reach: each step says
    # itself when it fails.
    "${binutils}objcopy" --only-keep-debug "$library" "$build/debug/.build-id/${id:0:2}/${id:2}.debug" || return 1
    "${binutils}strip" --strip-unneeded "$library" || return 1
    check_library "$arch" "$library" >&2 || return 1
    if [ -f "$build/bindings/java/jni/libtidelink_jni.so" ]; then
        mkdir -p "$build/jni"
        "${binutils}strip" --strip-unneeded -o "$build/jni/libtidelink_jni.so" \
            "$build/bindings/java/jni/libtidelink_jni.so" || return 1
        check_library "$arch" "$build/jni/libtidelink_jni.so" jni >&2 || return 1
    fi
    # Android's x86 libraries (--native) may use SSSE3; these serve Linux
    # i686 processors, which fault on any MMX or SSE instruction, and each of
    # those names an %mm or %xmm register.
    local vector file
    for file in "$library" "$build/jni/libtidelink_jni.so"; do
        [ "$arch" = x86 ] && [ -f "$file" ] || continue
        # The whole listing first: a grep that stops early would end objdump
        # with SIGPIPE, and pipefail would then hide the match.
        "${binutils}objdump" -d --no-show-raw-insn "$file" >"$build/disassembly" || return 1
        vector=$(grep -m3 '%x\?mm[0-9]' "$build/disassembly") &&
            { echo "$arch: $file needs more than i686 (MMX or SSE): $vector" >&2; return 1; }
        echo "$arch: $(basename "$file"): no MMX or SSE instructions" >&2
    done
    [ -z "${PACKAGE_RUN:-}" ] || echo "$PACKAGE_RUN" >"$build/run"
    echo "$build/prefix"
}

native_library() {
    local prefix
    prefix=$(native_prefix "$1") && echo "$prefix/lib/libtidelink_android.so"
}

native_jni_library() {
    local prefix
    prefix=$(native_prefix "$1") || return 1
    [ -f "$prefix/../jni/libtidelink_jni.so" ] ||
        { echo "no JNI library for $1: its build found no jni.h (Debian: default-jdk-headless)" >&2; return 1; }
    echo "$prefix/../jni/libtidelink_jni.so"
}

# The checks the suite makes on its own builds, on any library file for ARCH;
# with "jni", on the JNI library, whose exports are the native methods of the
# binding's TidelinkNative and which needs the library besides the C library.
check_library() {
    local arch=$1 library=$2 machine=${ELF_MACHINE[$1]}
    local checks=(exports soname needed textrel stack machine)
    [[ $machine == ELF64* ]] && checks+=(pagealign)
    local exports=$ROOT/tests/abi/exports.txt kind=(-DSONAME=libtidelink_android.so)
    if [ "${3:-}" = jni ]; then
        exports=${library%.so}.exports
        sed -n 's/^ *static native .* \(udp[A-Za-z]*\)(.*/Java_io_github_tidelink_TidelinkNative_\1/p' \
            "$ROOT/bindings/java/io/github/tidelink/TidelinkNative.java" >"$exports"
        kind=(-DSONAME=libtidelink_jni.so -DALSO_NEEDED=libtidelink_android.so)
    fi
    local check out
    for check in "${checks[@]}"; do
        out=$(cmake -DREADELF=readelf "-DLIBRARY=$library" "-DCHECK=$check" \
            "-DEXPORTS_FILE=$exports" "${kind[@]}" -DPAGE_SIZE=16384 \
            "-DELF_CLASS=${machine%% *}" "-DELF_MACHINE=${machine#* }" \
            -P "$ROOT/tests/abi/check_elf.cmake" 2>&1) || { echo "$arch: $out" >&2; return 1; }
        echo "$arch: ${out#-- }"
    done
    [ "${3:-}" != jni ] || rm -f "$exports"
    # A hard-float loader refuses a soft-float library, and the other way round.
    local flags
    flags=$(readelf -h "$library" | sed -n 's/^ *Flags: *//p')
    case $arch in
        armhf) [[ $flags == *hard-float* ]] ;;
        armv7) [[ $flags == *soft-float* ]] ;;
    esac || { echo "$arch: $library has the wrong float ABI: $flags" >&2; return 1; }
    # And a riscv64 board without the vector or bit-manipulation extensions
    # faults on their instructions.
    if [ "$arch" = riscv64 ]; then
        local isa
        isa=$(readelf -A "$library" | sed -n 's/^ *Tag_RISCV_arch: *"\(.*\)"$/\1/p')
        [[ -n $isa && ! $isa =~ _(v|zb|zve)[a-z0-9]*[0-9]p ]] ||
            { echo "$arch: $library needs more than rv64gc: $isa" >&2; return 1; }
        echo "$arch: isa: $isa"
    fi
}

# dist/SHA256SUMS: every artifact in dist/, in sha256sum -c's format.
write_checksums() {
    local sums
    sums=$(cd "$DIST" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort |
        xargs -r -d '\n' sha256sum)
    printf '%s\n' "$sums" >"$DIST/SHA256SUMS"
}
