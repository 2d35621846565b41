# Lays out in OUT what a release ships from the build tree BUILD: prefix/
# (its install, stripped), debug/.build-id/<xx>/<rest>.debug (LIBRARY's
# debug information, named by its build-id as gdb looks it up), with
# JNI on, jni/ (the Java binding's JNI library, its install component,
# stripped) and, with PYTHON on, python/ (the Python binding's accelerator,
# _speedups.abi3.so, likewise). The packages are made from these files alone.
#   cmake -DBUILD=... -DOUT=... -DLIBRARY=... -DREADELF=... -DOBJCOPY=... [-DJNI=ON] [-DPYTHON=ON] -P release_tree.cmake
foreach(required BUILD OUT LIBRARY READELF OBJCOPY)
    if(NOT ${required})
        message(FATAL_ERROR "release_tree.cmake needs -D${required}=...")
    endif()
endforeach()

file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${OUT}/prefix --strip
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
if(JNI)
    execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${OUT}/jni --strip --component java
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endif()
if(PYTHON)
    execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${OUT}/python --strip --component python
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endif()

execute_process(COMMAND ${READELF} -n ${LIBRARY} OUTPUT_VARIABLE notes COMMAND_ERROR_IS_FATAL ANY)
if(NOT notes MATCHES "Build ID: ([0-9a-f][0-9a-f])([0-9a-f]+)")
    message(FATAL_ERROR "${LIBRARY} has no build-id")
endif()
set(debug ${OUT}/debug/.build-id/${CMAKE_MATCH_1})
file(MAKE_DIRECTORY ${debug})
execute_process(COMMAND ${OBJCOPY} --only-keep-debug ${LIBRARY} ${debug}/${CMAKE_MATCH_2}.debug
    COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "release tree in ${OUT}, build-id ${CMAKE_MATCH_1}${CMAKE_MATCH_2}")
