# What gets built besides the library. Everything else defaults to on only
# when this is the top-level project: a project that adds this one as a
# subdirectory or through FetchContent gets the library alone, and no new
# compiler's new warning can fail its build.
option(TIDELINK_WARNINGS_AS_ERRORS "Treat the project's compiler warnings as errors" ${PROJECT_IS_TOP_LEVEL})
option(TIDELINK_BUILD_EXAMPLES "Build tidelink-ping" ${PROJECT_IS_TOP_LEVEL})

# An Android build (the NDK's toolchain file) makes a library to package:
# its tests could not run on the build machine.
set(tidelink_tests_default ${PROJECT_IS_TOP_LEVEL})
if(CMAKE_SYSTEM_NAME STREQUAL "Android")
    set(tidelink_tests_default OFF)
endif()
option(TIDELINK_BUILD_TESTS "Build the test suite" ${tidelink_tests_default})

# The benchmark needs Google Benchmark for the target, which only the build
# machine's packages give.
set(tidelink_bench_default ${PROJECT_IS_TOP_LEVEL})
if(CMAKE_CROSSCOMPILING)
    set(tidelink_bench_default OFF)
endif()
option(TIDELINK_BUILD_BENCH "Build the benchmarks against the raw system calls" ${tidelink_bench_default})

option(TIDELINK_BUILD_FUZZER "Build the libFuzzer target (needs clang)" OFF)

# The bindings' tests in Debian's runtimes for other architectures, on the
# artifacts in dist/ (the runtimes preset): they download the runtimes.
option(TIDELINK_RUNTIME_TESTS "Run the bindings' tests in other architectures' runtimes, on dist/" OFF)

# A release build (the release presets) lays out the files that ship, and its
# tests check those: cmake/release.cmake.
option(TIDELINK_RELEASE "Lay out the shipped files and test them" OFF)
