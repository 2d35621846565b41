# 64-bit ARM with Debian's aarch64-linux-gnu cross compilers, generating the
# code of Android's arm64-v8a ABI; target programs run under qemu-aarch64.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

# Debian's cross packages keep the target's C library and headers here.
set(TIDELINK_CROSS_ROOT /usr/aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# arm64-v8a: the ARMv8-A base instruction set, no later extensions.
set(CMAKE_C_FLAGS_INIT "-march=armv8-a")
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_C_FLAGS_INIT}")

# Libraries, headers and packages come from the target's tree only (and from
# any root a consumer adds with -DCMAKE_FIND_ROOT_PATH); programs from the host.
list(APPEND CMAKE_FIND_ROOT_PATH ${TIDELINK_CROSS_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest and test discovery run every target program through this; -L makes
# qemu find the target's dynamic loader and libraries.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L ${TIDELINK_CROSS_ROOT})
