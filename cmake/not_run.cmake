# Tests that need what a machine may lack: probing for a tool, and
# registering a test as not run with the reason, listed in tests-not-run.txt.

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

# Writes tests-not-run.txt in the build tree, once every test is registered.
function(tidelink_write_not_run)
    get_property(not_run GLOBAL PROPERTY tidelink_not_run)
    file(WRITE ${PROJECT_BINARY_DIR}/tests-not-run.txt "${not_run}")
endfunction()
