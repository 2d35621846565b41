# Installs the built project into a fresh prefix, then configures, builds and
# runs the consumer project against that copy, with the same toolchain.
#   cmake -DBUILD_DIR= -DWORK_DIR= -DCONSUMER_DIR= -DLIBDIR= -DINCLUDEDIR=
#         -DGENERATOR= [-DMAKE_PROGRAM=] [-DTOOLCHAIN_FILE=] [-DC_COMPILER=]
#         [-DCONFIG=] -P run_install_test.cmake
cmake_minimum_required(VERSION 3.22)

function(run)
    string(JOIN " " shown ${ARGN})
    message(STATUS "run: ${shown}")
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "failed (${result}): ${shown}")
    endif()
endfunction()

set(prefix ${WORK_DIR}/prefix)
set(consumer_build ${WORK_DIR}/consumer-build)
file(REMOVE_RECURSE ${WORK_DIR})

set(config_args)
if(CONFIG)
    set(config_args --config ${CONFIG})
endif()
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} ${config_args})

# Exactly the library, its header and the two kinds of package files.
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
list(SORT installed)
set(expected
    ${INCLUDEDIR}/tidelink.h
    ${LIBDIR}/libtidelink_android.so
    ${LIBDIR}/cmake/tidelink/tidelinkConfig.cmake
    ${LIBDIR}/cmake/tidelink/tidelinkConfigVersion.cmake
    ${LIBDIR}/cmake/tidelink/tidelinkTargets.cmake
    ${LIBDIR}/pkgconfig/tidelink.pc)
set(unexpected ${installed})
list(REMOVE_ITEM unexpected ${expected})
list(FILTER unexpected EXCLUDE REGEX "^${LIBDIR}/cmake/tidelink/tidelinkTargets-[a-z]+\\.cmake$")
set(missing ${expected})
list(REMOVE_ITEM missing ${installed})
if(missing OR unexpected)
    message(FATAL_ERROR "installed files differ: missing [${missing}], unexpected [${unexpected}]")
endif()
string(JOIN "\n  " listing ${installed})
message(STATUS "installed in ${prefix}:\n  ${listing}")

# pkg-config sees only this prefix; the CMake package is found through
# CMAKE_PREFIX_PATH, and a cross build also adds the prefix as a search root.
set(ENV{PKG_CONFIG_LIBDIR} ${prefix}/${LIBDIR}/pkgconfig)
unset(ENV{PKG_CONFIG_PATH})
set(configure_args -G ${GENERATOR} -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH=${prefix})
if(MAKE_PROGRAM)
    list(APPEND configure_args -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM})
endif()
if(TOOLCHAIN_FILE)
    list(APPEND configure_args -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE} -DCMAKE_FIND_ROOT_PATH=${prefix})
elseif(C_COMPILER)
    list(APPEND configure_args -DCMAKE_C_COMPILER=${C_COMPILER})
endif()
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${consumer_build} ${configure_args})
run(${CMAKE_COMMAND} --build ${consumer_build})
run(${CMAKE_CTEST_COMMAND} --test-dir ${consumer_build} --output-on-failure -V)
