# armeabi-v7a code as arm-linux-gnueabi.cmake makes it, compiled with clang
# and linked with lld.
set(TIDELINK_CROSS_CLANG ON)
include(${CMAKE_CURRENT_LIST_DIR}/arm-linux-gnueabi.cmake)
