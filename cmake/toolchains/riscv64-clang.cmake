# riscv64 code as riscv64-linux-gnu.cmake makes it, compiled with clang and
# linked with lld 16: lld 14 cannot link a program against Debian's gcc-built
# start files (their R_RISCV_ALIGN needs linker relaxation, new in lld 15).
set(TIDELINK_CROSS_CLANG ON)
set(TIDELINK_LLD lld-16)
include(${CMAKE_CURRENT_LIST_DIR}/riscv64-linux-gnu.cmake)
