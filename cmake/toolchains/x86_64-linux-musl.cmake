# x86-64 Linux with musl as the C library (Alpine's, the usual base of .NET
# container images), from Debian's musl-tools: musl-gcc for C, and g++ through
# the same specs for the library's C++, which includes C headers only and
# links no C++ runtime. Programs run on the build machine with musl's loader.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER musl-gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_CXX_FLAGS_INIT "-specs=/usr/lib/x86_64-linux-musl/musl-gcc.specs")
set(CMAKE_CROSSCOMPILING_EMULATOR "")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/x86_64-linux-musl.map")
# Debian has neither a C++ runtime nor libffi for musl: its tests are the C
# programs alone.
set(TIDELINK_C_TESTS_ONLY ON)
