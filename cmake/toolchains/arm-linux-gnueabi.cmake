# 32-bit ARM with Debian's arm-linux-gnueabi cross compilers, generating the
# code of Android's armeabi-v7a ABI; target programs run under qemu-arm.
set(CMAKE_SYSTEM_PROCESSOR armv7-a)
set(TIDELINK_CROSS_TRIPLE arm-linux-gnueabi)
set(TIDELINK_CROSS_QEMU qemu-arm)

# armeabi-v7a: ARMv7-A in Thumb-2 with VFPv3-D16, floating-point arguments
# passed in integer registers (softfp). softfp calls like soft-float, so the
# code links against Debian's armel C library.
set(CMAKE_C_FLAGS_INIT "-march=armv7-a -mthumb -mfloat-abi=softfp -mfpu=vfpv3-d16")

include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
