# CTest for the suite, memcheck mode included: `ctest -T memcheck` runs each
# test under Valgrind's memcheck, and a leak or memory error fails it.
set(MEMORYCHECK_TYPE Valgrind)
set(MEMORYCHECK_COMMAND_OPTIONS
    "--error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible --track-origins=yes --quiet"
    CACHE STRING "Valgrind's options for ctest -T memcheck")
# CTest's dashboard targets (Nightly, Experimental, ...) serve no one here.
set_property(GLOBAL PROPERTY CTEST_TARGETS_ADDED 1)
include(CTest)

if(NOT TIDELINK_C_TESTS_ONLY)
    include(${CMAKE_CURRENT_LIST_DIR}/googletest.cmake)
    include(GoogleTest)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/not_run.cmake)
