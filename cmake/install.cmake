# Install rules: the shared library, the public headers, the CMake package
# (kt482::kt482) and kt482.pc for pkg-config.
include(CMakePackageConfigHelpers)

set(KT482_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kt482)

install(TARGETS kt482 EXPORT kt482Targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/kt482 ${KT482_GENERATED_INCLUDE_DIR}/kt482
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")

install(EXPORT kt482Targets NAMESPACE kt482:: DESTINATION ${KT482_CMAKE_INSTALL_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/kt482Config.cmake.in
  ${PROJECT_BINARY_DIR}/kt482Config.cmake
  INSTALL_DESTINATION ${KT482_CMAKE_INSTALL_DIR})
# Before 1.0 a minor version may break the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kt482ConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kt482Config.cmake ${PROJECT_BINARY_DIR}/kt482ConfigVersion.cmake
  DESTINATION ${KT482_CMAKE_INSTALL_DIR})

# The .pc file finds the prefix from its own place, so that an installation
# moved or made with cmake --install --prefix stays usable.
file(RELATIVE_PATH KT482_PC_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
configure_file(${PROJECT_SOURCE_DIR}/cmake/kt482.pc.in ${PROJECT_BINARY_DIR}/kt482.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kt482.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The message catalogs, where the installed library looks for them: the
# locale folder at the same place relative to the library's folder.
foreach(mo IN LISTS KT482_CATALOGS)
  file(RELATIVE_PATH relative ${KT482_BUILD_LOCALEDIR} ${mo})
  get_filename_component(folder ${relative} DIRECTORY)
  install(FILES ${mo} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${folder})
endforeach()

if(TARGET kt482_cli)
  install(TARGETS kt482_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
