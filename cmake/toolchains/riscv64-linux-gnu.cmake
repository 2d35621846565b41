# 64-bit RISC-V with Debian's riscv64-linux-gnu cross compilers, generating
# the code of Android's riscv64 ABI; target programs run under qemu-riscv64.
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(TIDELINK_CROSS_TRIPLE riscv64-linux-gnu)
# qemu's default processor lacks the vector unit: name the extensions the
# code may use.
set(TIDELINK_CROSS_QEMU qemu-riscv64 -cpu rv64,v=true,vext_spec=v1.0,zba=true,zbb=true,zbs=true)

# Android's riscv64 ABI is the RVA22U64 profile with the vector extension;
# the NDK compiles it as rv64gcv with the bit-manipulation extensions Zba,
# Zbb and Zbs. Linux distributions build for rv64gc, and boards without
# those extensions fault on them: the release packages for Linux hosts set
# TIDELINK_RISCV64_MARCH=rv64gc.
set(TIDELINK_RISCV64_MARCH rv64gcv_zba_zbb_zbs CACHE STRING "-march for riscv64")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TIDELINK_RISCV64_MARCH)
set(CMAKE_C_FLAGS_INIT "-march=${TIDELINK_RISCV64_MARCH}")

include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
