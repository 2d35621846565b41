# CTest for the suite, memcheck mode included: `ctest -T memcheck` runs each
# test under Valgrind's memcheck, and a leak or memory error fails it.
set(MEMORYCHECK_TYPE Valgrind)
set(MEMORYCHECK_COMMAND_OPTIONS
    "--error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible --track-origins=yes --quiet"
    CACHE STRING "Valgrind's options for ctest -T memcheck")
# CTest's dashboard targets (Nightly, Experimental, ...) serve no one here.
set_property(GLOBAL PROPERTY CTEST_TARGETS_ADDED 1)
include(CTest)

include(${CMAKE_CURRENT_LIST_DIR}/googletest.cmake)
include(GoogleTest)

# A test that needs a program the build machine may lack (an interpreter, a
# runtime): without it, the test is still registered, disabled, so CTest's
# summary lists it among those that did not run.
#   tidelink_add_program_test(NAME name PROGRAM var LABELS label COMMAND args...)
# PROGRAM names the cache variable of find_program; COMMAND follows it.
function(tidelink_add_program_test)
    cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME;PROGRAM" "LABELS;COMMAND")
    add_test(NAME ${arg_NAME} COMMAND ${${arg_PROGRAM}} ${arg_COMMAND})
    set_tests_properties(${arg_NAME} PROPERTIES LABELS "${arg_LABELS}")
    if(NOT ${arg_PROGRAM})
        message(STATUS "${arg_NAME}: not run, ${arg_PROGRAM} was not found")
        set_tests_properties(${arg_NAME} PROPERTIES DISABLED TRUE)
    endif()
endfunction()
