# Configures, builds and runs one consumer project with the same toolchain
# as this build:
#   Installed: installs this build, packs it as a release archive is packed,
#     unpacks that elsewhere and builds against the unpacked copy (or against
#     the archive that the environment's TIDELINK_ARCHIVE names);
#   AddSubdirectory, FetchContent: builds the source tree as a subproject,
#     with a warning flag that the library's own code trips.
#   cmake -DCONSUMER= -DSOURCE_DIR= -DBUILD_DIR= -DWORK_DIR= -DCONSUMERS_DIR=
#         -DLIBDIR= -DINCLUDEDIR= -DDOCDIR= -DGENERATOR= [-DMAKE_PROGRAM=]
#         [-DTOOLCHAIN_FILE=] [-DC_COMPILER=] [-DCXX_COMPILER=] [-DCONFIG=]
#         -P run_consumer.cmake
cmake_minimum_required(VERSION 3.25)

function(run)
    string(JOIN " " shown ${ARGN})
    message(STATUS "run: ${shown}")
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "failed (${result}): ${shown}")
    endif()
endfunction()

# Exactly the library, its header and the two kinds of package files.
function(check_installed_files prefix)
    file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
    list(SORT installed)
    set(expected
        ${INCLUDEDIR}/tidelink.h
        ${DOCDIR}/LICENSE
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
endfunction()

set(consumer_build ${WORK_DIR}/build)
file(REMOVE_RECURSE ${WORK_DIR})

set(configure_args -G ${GENERATOR} -DCMAKE_BUILD_TYPE=Release)
if(MAKE_PROGRAM)
    list(APPEND configure_args -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM})
endif()
if(TOOLCHAIN_FILE)
    list(APPEND configure_args -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE})
else()
    list(APPEND configure_args -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
endif()

if(CONSUMER STREQUAL "Installed")
    set(archive $ENV{TIDELINK_ARCHIVE})
    if(NOT archive)
        set(archive ${WORK_DIR}/tidelink.tar.gz)
        set(config_args)
        if(CONFIG)
            set(config_args --config ${CONFIG})
        endif()
        run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/installed ${config_args})
        run(${SOURCE_DIR}/cmake/tarball ${WORK_DIR}/installed tidelink ${archive})
    endif()
    # Unpacked where it was never built or installed: the package files must
    # find everything from where they lie.
    file(ARCHIVE_EXTRACT INPUT ${archive} DESTINATION ${WORK_DIR}/unpacked)
    file(GLOB prefix LIST_DIRECTORIES true ${WORK_DIR}/unpacked/*)
    check_installed_files(${prefix})
    # pkg-config sees only this prefix; the CMake package is found through
    # CMAKE_PREFIX_PATH, and a cross build also adds the prefix as a search root.
    set(ENV{PKG_CONFIG_LIBDIR} ${prefix}/${LIBDIR}/pkgconfig)
    unset(ENV{PKG_CONFIG_PATH})
    list(APPEND configure_args -DCMAKE_PREFIX_PATH=${prefix})
    if(TOOLCHAIN_FILE)
        list(APPEND configure_args -DCMAKE_FIND_ROOT_PATH=${prefix})
    endif()
    set(consumer_source ${CONSUMERS_DIR}/installed)
else()
    # Any warning of the library's code would stop a build that made
    # warnings errors for its subprojects: this one warns on every frame.
    list(APPEND configure_args -DTIDELINK_SOURCE_DIR=${SOURCE_DIR} -DHOW=${CONSUMER}
         -DCONSUMER_FLAGS=-Wframe-larger-than=1)
    set(consumer_source ${CONSUMERS_DIR}/subproject)
endif()

run(${CMAKE_COMMAND} -S ${consumer_source} -B ${consumer_build} ${configure_args})
run(${CMAKE_COMMAND} --build ${consumer_build})
run(${CMAKE_CTEST_COMMAND} --test-dir ${consumer_build} --output-on-failure -V)
