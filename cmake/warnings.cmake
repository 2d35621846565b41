# The warning set every target of the project compiles with, as errors.
add_library(tidelink_warnings INTERFACE)
target_compile_options(tidelink_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Werror
    -Wshadow -Wconversion -Wsign-conversion -Wcast-align -Wformat=2 -Wundef)
