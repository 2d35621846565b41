# The architecture being built, by the names the tests need: its ABI
# baseline's, readelf's machine name and Debian's architecture name.
set(tidelink_arch)
set(tidelink_elf_machine)
set(tidelink_debian_arch)
macro(tidelink_architecture arch machine debian)
    set(tidelink_arch ${arch})
    set(tidelink_elf_machine "${machine}")
    set(tidelink_debian_arch ${debian})
endmacro()

# Both 32-bit ARM builds are armv7-a; the multiarch triple tells the
# hard-float one from armeabi-v7a's soft-float calls.
if(CMAKE_LIBRARY_ARCHITECTURE STREQUAL "arm-linux-gnueabihf")
    tidelink_architecture(armhf "ARM" armhf)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(arm|armv7.*)$")
    tidelink_architecture(armv7 "ARM" armel)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    tidelink_architecture(aarch64 "AArch64" arm64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    tidelink_architecture(x86_64 "Advanced Micro Devices X86-64" amd64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^i[3-6]86$")
    tidelink_architecture(x86 "Intel 80386" i386)
elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "riscv64")
    tidelink_architecture(riscv64 "RISC-V" riscv64)
endif()
