# 32-bit ARM with Debian's arm-linux-gnueabi cross compilers, generating the
# code of Android's armeabi-v7a ABI; target programs run under qemu-arm.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7-a)

# Debian's cross packages keep the target's C library and headers here.
set(TIDELINK_CROSS_ROOT /usr/arm-linux-gnueabi)

set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)

# armeabi-v7a: ARMv7-A in Thumb-2 with VFPv3-D16, floating-point arguments
# passed in integer registers (softfp). softfp calls like soft-float, so the
# code links against Debian's armel C library.
set(CMAKE_C_FLAGS_INIT "-march=armv7-a -mthumb -mfloat-abi=softfp -mfpu=vfpv3-d16")
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
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L ${TIDELINK_CROSS_ROOT})
