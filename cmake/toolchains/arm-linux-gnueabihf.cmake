# 32-bit ARM for desktop and server Linux (Debian's armhf, Raspberry Pi OS)
# with Debian's arm-linux-gnueabihf cross compilers; target programs run
# under qemu-arm. Those systems' loaders refuse the soft-float armv7 library,
# so hosts there (.NET's linux-arm, JNA's linux-arm, Python's armv7l) need
# this build.
set(CMAKE_SYSTEM_PROCESSOR armv7-a)
set(TIDELINK_CROSS_TRIPLE arm-linux-gnueabihf)
set(TIDELINK_CROSS_QEMU qemu-arm)

# ARMv7-A in Thumb-2 with VFPv3-D16, floating-point arguments in VFP registers.
set(CMAKE_C_FLAGS_INIT "-march=armv7-a -mthumb -mfloat-abi=hard -mfpu=vfpv3-d16")

include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
