# The libffi host (ffi_host.c): every export called through libffi, natively
# and, in a cross build, under the emulator with Debian's libffi for the
# target.
if(CMAKE_CROSSCOMPILING)
    # Installing libffi-dev for a foreign architecture would put the target's
    # C library in the machine's multiarch folders, and the target's loader
    # would then mix it with the cross toolchain's. The package is unpacked
    # (riscv64's from Debian 13, which first builds it) into the build
    # tree instead.
    set(TIDELINK_TARGET_LIBFFI_ROOT "" CACHE PATH
        "Debian's libffi for the target, unpacked (usr/include/<triple>, usr/lib/<triple>); empty: fetched into the build tree")
    set(ffi_root ${TIDELINK_TARGET_LIBFFI_ROOT})
    set(ffi_lib_dir)
    set(ffi_arch ${tidelink_debian_arch})
    if(NOT ffi_root AND ffi_arch)
        set(ffi_root ${PROJECT_BINARY_DIR}/target-libffi)
        if(NOT EXISTS ${ffi_root}/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/libffi.so)
            message(STATUS "Fetching Debian's libffi for ${ffi_arch} into ${ffi_root}")
            execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/fetch-target-libffi ${ffi_arch} ${ffi_root}
                RESULT_VARIABLE fetched)
            if(NOT fetched EQUAL 0)
                message(WARNING "Could not fetch libffi for ${ffi_arch}: Host.Libffi will fail. "
                    "-DTIDELINK_TARGET_LIBFFI_ROOT= names an unpacked copy.")
            endif()
        endif()
    endif()
    if(ffi_root AND EXISTS ${ffi_root}/usr/include/${CMAKE_LIBRARY_ARCHITECTURE}/ffi.h)
        set(TIDELINK_FFI_INCLUDE_DIR ${ffi_root}/usr/include/${CMAKE_LIBRARY_ARCHITECTURE})
        set(ffi_lib_dir ${ffi_root}/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE})
        set(TIDELINK_FFI_LIBRARY ${ffi_lib_dir}/libffi.so)
    endif()
else()
    find_path(TIDELINK_FFI_INCLUDE_DIR ffi.h DOC "libffi's header (Debian: libffi-dev)")
    find_library(TIDELINK_FFI_LIBRARY ffi DOC "libffi (Debian: libffi-dev)")
endif()

# Without libffi the test still runs, and fails saying why.
if(NOT TIDELINK_FFI_INCLUDE_DIR OR NOT EXISTS "${TIDELINK_FFI_LIBRARY}")
    add_test(NAME Host.Libffi COMMAND sh -c
        "echo 'no libffi for ${CMAKE_LIBRARY_ARCHITECTURE}: install libffi-dev (a cross build fetches its own at configure time)'; exit 1")
    set_tests_properties(Host.Libffi PROPERTIES LABELS host)
    return()
endif()

add_library(tidelink_libffi UNKNOWN IMPORTED)
set_target_properties(tidelink_libffi PROPERTIES
    IMPORTED_LOCATION ${TIDELINK_FFI_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${TIDELINK_FFI_INCLUDE_DIR})
add_executable(tidelink_ffi_host ffi_host.c)
target_include_directories(tidelink_ffi_host PRIVATE ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(tidelink_ffi_host PRIVATE tidelink_libffi tidelink_warnings ${CMAKE_DL_LIBS})
set(ffi_library_path ${host_library_dir})
if(ffi_lib_dir)
    string(APPEND ffi_library_path ":${ffi_lib_dir}")
endif()
tidelink_host_test(Host.Libffi tidelink_ffi_host ${ffi_library_path})
