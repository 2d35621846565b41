# The warning set every target of the project compiles with, and clang's own
# on top when clang compiles (as in the Android NDK); errors only when
# TIDELINK_WARNINGS_AS_ERRORS is on (by default, when this is the top-level
# project).
add_library(tidelink_warnings INTERFACE)
target_compile_options(tidelink_warnings INTERFACE
    -Wall -Wextra -Wpedantic
    -Wshadow -Wconversion -Wsign-conversion -Wcast-align -Wformat=2 -Wundef
    $<$<CXX_COMPILER_ID:Clang>:-Wcomma -Wconditional-uninitialized -Wextra-semi -Wimplicit-fallthrough
                               -Wloop-analysis -Wshadow-all -Wunreachable-code-aggressive>
    $<$<BOOL:${TIDELINK_WARNINGS_AS_ERRORS}>:-Werror>)
