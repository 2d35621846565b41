# What `cmake --install` puts in place: the library, its header, its licence,
# a CMake package (find_package(tidelink CONFIG) gives tidelink::tidelink)
# and a pkg-config file. Both package files find the prefix from where they lie.
include(CMakePackageConfigHelpers)

set(TIDELINK_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/tidelink CACHE STRING
    "Where the CMake package files go, relative to the prefix")

install(TARGETS tidelink_android EXPORT tidelinkTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/tidelink.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(EXPORT tidelinkTargets NAMESPACE tidelink:: DESTINATION ${TIDELINK_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/tidelinkConfig.cmake.in
    ${PROJECT_BINARY_DIR}/tidelinkConfig.cmake
    INSTALL_DESTINATION ${TIDELINK_INSTALL_CMAKEDIR})
# Before 1.0 a minor version may change the interface. The version file also
# refuses a consumer whose pointer size differs from the installed library's.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tidelinkConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tidelinkConfig.cmake ${PROJECT_BINARY_DIR}/tidelinkConfigVersion.cmake
    DESTINATION ${TIDELINK_INSTALL_CMAKEDIR})

# The .pc file names its prefix relative to its own folder (${pcfiledir}), so
# that an install with --prefix or DESTDIR elsewhere still points home.
set(tidelink_pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
    set(TIDELINK_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
    set(TIDELINK_PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
    set(TIDELINK_PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
else()
    file(RELATIVE_PATH tidelink_pc_up /prefix/${tidelink_pc_dir} /prefix)
    string(REGEX REPLACE "/$" "" tidelink_pc_up "${tidelink_pc_up}")
    set(TIDELINK_PC_PREFIX "\${pcfiledir}/${tidelink_pc_up}")
    set(TIDELINK_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
    set(TIDELINK_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/tidelink.pc.in ${PROJECT_BINARY_DIR}/tidelink.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tidelink.pc DESTINATION ${tidelink_pc_dir})
