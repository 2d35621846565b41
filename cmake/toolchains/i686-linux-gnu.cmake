# 32-bit x86 with Debian's i686-linux-gnu cross compilers, generating the code
# of Android's x86 ABI; target programs run natively or under qemu-i386.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TIDELINK_CROSS_TRIPLE i686-linux-gnu)
# An x86-64 kernel with IA-32 emulation runs i686 code directly; only the
# loader is missing from the machine's own folders, so each program starts
# through the cross tree's. A kernel without it leaves the code to qemu-i386,
# on an Atom N270: 32-bit with SSSE3, like the first Android x86 devices.
set(TIDELINK_CROSS_LOADER ld-linux.so.2)
set(TIDELINK_CROSS_QEMU qemu-i386 -cpu n270)

# Android's x86: i686 with SSSE3, floating point in SSE registers rather than
# x87. The NDK also realigns the stack on entry (-mstackrealign) for Android
# releases before 7.0, whose x86 code does not keep the 16-byte stack
# alignment that SSE spills assume, so the library may be called from there.
# Linux distributions' i686 baseline has neither SSE nor MMX: the release
# packages for Linux hosts set TIDELINK_X86_FLAGS=-march=i686 (x87 only).
set(TIDELINK_X86_FLAGS "-march=i686 -mssse3 -mfpmath=sse -mstackrealign" CACHE STRING "Code-generation flags for x86")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TIDELINK_X86_FLAGS)
set(CMAKE_C_FLAGS_INIT "${TIDELINK_X86_FLAGS}")

include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
