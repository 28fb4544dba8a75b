# What cmake --install puts under the prefix:
#   bin/splitev, bin/splitev-table
#   include/splitev/*.h
#   lib/libsplitev.a                       (the engine inside; links Threads)
#   lib/cmake/splitev/                     (splitevConfig.cmake, its version file, the targets)
#   lib/pkgconfig/splitev.pc
#   share/man/man1/splitev.1, splitev-table.1
include(CMakePackageConfigHelpers)

install(TARGETS splitev RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/man/splitev.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(TARGET splitev-table)
  install(TARGETS splitev-table RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/man/splitev-table.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

if(TARGET splitev_library)
  install(TARGETS splitev_library EXPORT splitevTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/include/splitev DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

  set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/splitev)
  install(EXPORT splitevTargets NAMESPACE splitev:: DESTINATION ${package_dir})
  configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/splitevConfig.cmake.in
                                ${CMAKE_BINARY_DIR}/splitevConfig.cmake INSTALL_DESTINATION ${package_dir})
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/splitevConfigVersion.cmake
                                   COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_BINARY_DIR}/splitevConfig.cmake ${CMAKE_BINARY_DIR}/splitevConfigVersion.cmake
          DESTINATION ${package_dir})

  # The pkg-config file finds the prefix from its own place, so it holds
  # whatever prefix the tree is installed under.
  file(RELATIVE_PATH pc_prefix /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
  string(REGEX REPLACE "/$" "" pc_prefix "${pc_prefix}")
  set(pc_prefix "\${pcfiledir}/${pc_prefix}")
  configure_file(${CMAKE_SOURCE_DIR}/cmake/splitev.pc.in ${CMAKE_BINARY_DIR}/splitev.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/splitev.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()
