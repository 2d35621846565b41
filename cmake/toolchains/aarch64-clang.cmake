# arm64-v8a code as aarch64-linux-gnu.cmake makes it, compiled with clang
# and linked with lld.
set(TIDELINK_CROSS_CLANG ON)
include(${CMAKE_CURRENT_LIST_DIR}/aarch64-linux-gnu.cmake)
