# The build machine's own target, compiled with Debian's clang 14 and linked
# with lld, the compiler and linker family of the Android NDK.
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
include(${CMAKE_CURRENT_LIST_DIR}/lld.cmake)
