# Hardening shared by the library and the benchmark's raw side, so that the
# two sides of each pair are compiled alike.
add_library(tidelink_hardening INTERFACE)
target_compile_options(tidelink_hardening INTERFACE
    -fstack-protector-strong
    $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
