# GoogleTest for the test suite. A native build uses the system's copy. A
# cross build can't link the build machine's libraries, so it compiles
# GoogleTest for the target from the sources Debian ships (package googletest).
if(NOT CMAKE_CROSSCOMPILING)
    find_package(GTest REQUIRED)
    return()
endif()

set(TIDELINK_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest sources, built for the target in a cross build")
if(NOT EXISTS ${TIDELINK_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "A cross build compiles GoogleTest from source, and there is none in "
        "${TIDELINK_GOOGLETEST_SOURCE_DIR}: install Debian's googletest package "
        "or set TIDELINK_GOOGLETEST_SOURCE_DIR.")
endif()
# GoogleTest honours these as plain variables (policy CMP0077).
set(BUILD_GMOCK OFF)
set(INSTALL_GTEST OFF)
add_subdirectory(${TIDELINK_GOOGLETEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
