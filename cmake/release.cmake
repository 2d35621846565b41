# A release build lays out what ships in release/ of its build tree (target
# tidelink_release_tree, built on demand): the suite's release tests build it
# and check those very files, and scripts/package packs them.
find_program(TIDELINK_READELF NAMES readelf ${CMAKE_READELF} REQUIRED DOC "GNU readelf")
set(TIDELINK_RELEASE_DIR ${PROJECT_BINARY_DIR}/release)
set(jni OFF)
if(TARGET tidelink_jni)
    set(jni ON)
endif()
set(python OFF)
if(TARGET tidelink_speedups)
    set(python ON)
endif()
add_custom_target(tidelink_release_tree
    COMMAND ${CMAKE_COMMAND} -DBUILD=${PROJECT_BINARY_DIR} -DOUT=${TIDELINK_RELEASE_DIR}
            -DLIBRARY=$<TARGET_FILE:tidelink_android> -DREADELF=${TIDELINK_READELF}
            -DOBJCOPY=${CMAKE_OBJCOPY} -DJNI=${jni} -DPYTHON=${python} -P ${CMAKE_CURRENT_LIST_DIR}/release_tree.cmake
    COMMENT "Laying out the release tree"
    VERBATIM)
add_dependencies(tidelink_release_tree tidelink_android)
if(jni)
    add_dependencies(tidelink_release_tree tidelink_jni)
endif()
if(python)
    add_dependencies(tidelink_release_tree tidelink_speedups)
endif()
