# Hardening shared by the library and the benchmark's raw side, so that the
# two sides of each pair are compiled alike. _FORTIFY_SOURCE checks nothing
# without optimisation, so a Debug build, or one with no build type, is
# compiled with -Og: optimised only as far as debugging allows.
add_library(tidelink_hardening INTERFACE)
target_compile_options(tidelink_hardening INTERFACE
    -fstack-protector-strong
    -D_FORTIFY_SOURCE=2
    $<$<OR:$<CONFIG:Debug>,$<STREQUAL:$<CONFIG>,>>:-Og>)
