# The version: the header's TIDELINK_VERSION_* macros are the one place it is
# written, and this the one place it is read. Included, it sets
# TIDELINK_VERSION; run as `cmake -P`, it prints it, for the scripts that
# package the library.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../include/tidelink.h tidelink_version_lines
     REGEX "^#define TIDELINK_VERSION_(MAJOR|MINOR|PATCH) +[0-9]+$")
set(TIDELINK_VERSION)
foreach(part MAJOR MINOR PATCH)
    string(REGEX MATCH "TIDELINK_VERSION_${part} +([0-9]+)" tidelink_version_match "${tidelink_version_lines}")
    if(NOT tidelink_version_match)
        message(FATAL_ERROR "include/tidelink.h does not define TIDELINK_VERSION_${part}")
    endif()
    list(APPEND TIDELINK_VERSION ${CMAKE_MATCH_1})
endforeach()
list(JOIN TIDELINK_VERSION "." TIDELINK_VERSION)
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo ${TIDELINK_VERSION})
endif()
