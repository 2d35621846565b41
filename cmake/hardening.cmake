# Hardening shared by the library and the benchmark's raw side, so that the
# two sides of each pair are compiled alike. _FORTIFY_SOURCE checks nothing
# without optimisation, so a Debug build, or one with no build type, is
# compiled with -Og: optimised only as far as debugging allows.
add_library(tidelink_hardening INTERFACE)
target_compile_options(tidelink_hardening INTERFACE
    -fstack-protector-strong
    -D_FORTIFY_SOURCE=2
    $<$<OR:$<CONFIG:Debug>,$<STREQUAL:$<CONFIG>,>>:-Og>)

# How each shared object that ships links: only the libraries it uses, a
# stack that is not executable, relocations read-only once loaded, and a
# build-id, which names its separate debug information in a release. 64-bit
# Android devices may run with 16 KB pages, and there a library loads only if
# its segments are aligned to 16 KB; the linkers' defaults differ.
add_library(tidelink_linking INTERFACE)
target_link_options(tidelink_linking INTERFACE
    -Wl,--as-needed -Wl,-z,noexecstack -Wl,-z,relro -Wl,-z,now -Wl,--build-id=sha1)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_link_options(tidelink_linking INTERFACE -Wl,-z,max-page-size=16384)
endif()
# The libraries also link with no undefined symbols, so that a stray use of
# the C++ runtime fails the link rather than becoming a dependency (a Python
# extension cannot: the interpreter provides the C API's symbols).
add_library(tidelink_shared_object INTERFACE)
target_link_libraries(tidelink_shared_object INTERFACE tidelink_linking)
target_link_options(tidelink_shared_object INTERFACE -Wl,--no-undefined)
