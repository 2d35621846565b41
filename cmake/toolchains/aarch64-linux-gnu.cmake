# 64-bit ARM with Debian's aarch64-linux-gnu cross compilers, generating the
# code of Android's arm64-v8a ABI; target programs run under qemu-aarch64.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TIDELINK_CROSS_TRIPLE aarch64-linux-gnu)
set(TIDELINK_CROSS_QEMU qemu-aarch64)

# arm64-v8a: the ARMv8-A base instruction set, no later extensions.
set(CMAKE_C_FLAGS_INIT "-march=armv8-a")

include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
