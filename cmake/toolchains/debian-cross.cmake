# What the cross toolchain files share: Debian's cross compilers for
# TIDELINK_CROSS_TRIPLE (or, with TIDELINK_CROSS_CLANG, clang 14 and lld
# targeting it, on the same gcc cross tree), the target's tree under
# /usr/<triple>, and target programs run under TIDELINK_CROSS_QEMU (a command
# and its options) or through the tree's loader TIDELINK_CROSS_LOADER, run
# directly where the build machine's kernel runs the code and under qemu where
# it does not. The including file sets those and the code-generation flags.
set(CMAKE_SYSTEM_NAME Linux)

# Debian's cross packages keep the target's C library and headers here.
set(TIDELINK_CROSS_ROOT /usr/${TIDELINK_CROSS_TRIPLE})

if(TIDELINK_CROSS_CLANG)
    # clang finds the gcc cross toolchain's start-up files, libstdc++ and C
    # library for the triple by itself.
    set(CMAKE_C_COMPILER clang-14)
    set(CMAKE_CXX_COMPILER clang++-14)
    set(CMAKE_C_COMPILER_TARGET ${TIDELINK_CROSS_TRIPLE})
    set(CMAKE_CXX_COMPILER_TARGET ${TIDELINK_CROSS_TRIPLE})
    include(${CMAKE_CURRENT_LIST_DIR}/lld.cmake)
else()
    set(CMAKE_C_COMPILER ${TIDELINK_CROSS_TRIPLE}-gcc)
    set(CMAKE_CXX_COMPILER ${TIDELINK_CROSS_TRIPLE}-g++)
endif()
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_C_FLAGS_INIT}")

# Libraries, headers and packages come from the target's tree only (and from
# any root a consumer adds with -DCMAKE_FIND_ROOT_PATH); programs from the host.
list(APPEND CMAKE_FIND_ROOT_PATH ${TIDELINK_CROSS_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest and test discovery run every target program through this; -L makes
# qemu find the target's dynamic loader and libraries. A kernel may run the
# target's code yet be built or booted without it (an x86-64 kernel without
# IA-32 emulation refuses i386 programs with ENOEXEC): the loader is tried
# once, and where it does not start, it runs under qemu. TIDELINK_CROSS_EMULATED
# tells the tests which.
set(TIDELINK_CROSS_EMULATED ON)
if(TIDELINK_CROSS_LOADER)
    set(loader ${TIDELINK_CROSS_ROOT}/lib/${TIDELINK_CROSS_LOADER})
    execute_process(COMMAND ${loader} --version RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
    if(failed EQUAL 0)
        set(TIDELINK_CROSS_EMULATED OFF)
    else()
        set(loader ${TIDELINK_CROSS_QEMU} -L ${TIDELINK_CROSS_ROOT} ${loader})
    endif()
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/target-loader ${TIDELINK_CROSS_ROOT}/lib ${loader} --)
else()
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TIDELINK_CROSS_QEMU} -L ${TIDELINK_CROSS_ROOT})
endif()
