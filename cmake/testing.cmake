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

# Finds PROGRAM as the cache entry CACHE_VAR and sets RESULT to its path only
# if `PROGRAM ARGS...` succeeds, run from an empty folder where nothing in the
# current folder (a build/ that Python would import, a global.json) can
# answer for it. Tests are handed RESULT, so they run what was probed.
function(tidelink_probe result cache_var program)
    find_program(${cache_var} ${program})
    set(${result} "" PARENT_SCOPE)
    if(NOT ${cache_var})
        return()
    endif()
    set(empty ${PROJECT_BINARY_DIR}/probe)
    file(MAKE_DIRECTORY ${empty})
    execute_process(COMMAND ${${cache_var}} ${ARGN} WORKING_DIRECTORY ${empty}
        RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
    if(failed EQUAL 0)
        set(${result} ${${cache_var}} PARENT_SCOPE)
    endif()
endfunction()

# Registers the test NAME as not run, because of REASON, and records both
# with what installs it (INSTALL) in tests-not-run.txt, which scripts/test
# prints after the run.
function(tidelink_not_run name reason install)
    message(STATUS "${name} will not run: ${reason}")
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E false)
    set_tests_properties(${name} PROPERTIES DISABLED TRUE)
    set(line "${name}: ${reason}")
    if(install)
        string(APPEND line "\n    install: ${install}")
    endif()
    set_property(GLOBAL APPEND_STRING PROPERTY tidelink_not_run "${line}\n")
endfunction()
