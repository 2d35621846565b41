# Android x86 code as i686-linux-gnu.cmake makes it, compiled with clang and
# linked with lld.
set(TIDELINK_CROSS_CLANG ON)
include(${CMAKE_CURRENT_LIST_DIR}/i686-linux-gnu.cmake)
