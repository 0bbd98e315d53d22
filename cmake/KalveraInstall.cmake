# cmake --install: the SDK library, the D2XX backend it loads, the public
# headers, a CMake package (KalveraTurntableSDK::KalveraTurntableSDK) and a
# pkg-config file. Clients include the headers by their plain names, as in
# #include <LxKalveraTurntableControl.h>.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KALVERA_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/KalveraTurntableSDK)
set(KALVERA_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/KalveraTurntableSDK)

# What a host needs: the controller, its plug-in bases, the export macros and
# the QML engine and extension class it may reach. The drivers, the view code
# and the private records stay inside the library.
set(KALVERA_PUBLIC_HEADERS
  ${PROJECT_SOURCE_DIR}/sdk/plugin/KalveraTurntableSDKGlobal.h
  ${PROJECT_SOURCE_DIR}/sdk/plugin/LxAbstractPlugin.h
  ${PROJECT_SOURCE_DIR}/sdk/plugin/LxTurntableHardware.h
  ${PROJECT_SOURCE_DIR}/sdk/control/LxKalveraTurntableControl.h
  ${PROJECT_SOURCE_DIR}/sdk/ui/LxGlobalQmlEngine.h
  ${PROJECT_SOURCE_DIR}/sdk/ui/LxRegisterPlugin.h
)

# The installed library finds the backend installed beside it.
set_target_properties(KalveraTurntableSDK PROPERTIES INSTALL_RPATH "$ORIGIN")
target_include_directories(KalveraTurntableSDK INTERFACE
  $<INSTALL_INTERFACE:${KALVERA_INSTALL_INCLUDEDIR}>)

install(TARGETS KalveraTurntableSDK EXPORT KalveraTurntableSDKTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
# The console program, the SDK's second deliverable, finds the library it is
# installed with.
set_target_properties(KalveraTurntableTest PROPERTIES
  INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
install(TARGETS KalveraTurntableTest RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
install(FILES ${KALVERA_PUBLIC_HEADERS}
  DESTINATION ${KALVERA_INSTALL_INCLUDEDIR} COMPONENT Development)

# The backend is a run-time dependency: clients neither include nor link it.
# A shared one built here is installed beside the SDK and exported with it,
# since the SDK's imported target names it for the linker; a static one is
# inside the SDK, and one from the system (imported) is the system's to install.
get_target_property(_kalvera_d2xx D2XX::D2XX ALIASED_TARGET)
if(NOT _kalvera_d2xx)
  set(_kalvera_d2xx D2XX::D2XX)
endif()
get_target_property(_kalvera_d2xx_type ${_kalvera_d2xx} TYPE)
get_target_property(_kalvera_d2xx_imported ${_kalvera_d2xx} IMPORTED)
if(_kalvera_d2xx_type STREQUAL "SHARED_LIBRARY" AND NOT _kalvera_d2xx_imported)
  set_target_properties(${_kalvera_d2xx} PROPERTIES EXPORT_NAME D2XX)
  set_target_properties(d2xx_interface PROPERTIES EXPORT_NAME D2XXInterface)
  install(TARGETS ${_kalvera_d2xx} d2xx_interface EXPORT KalveraTurntableSDKTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_SKIP)
endif()

install(EXPORT KalveraTurntableSDKTargets
  NAMESPACE KalveraTurntableSDK::
  DESTINATION ${KALVERA_INSTALL_CMAKEDIR} COMPONENT Development)
configure_package_config_file(cmake/KalveraTurntableSDKConfig.cmake.in
  ${PROJECT_BINARY_DIR}/KalveraTurntableSDKConfig.cmake
  INSTALL_DESTINATION ${KALVERA_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KalveraTurntableSDKConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/KalveraTurntableSDKConfig.cmake
  ${PROJECT_BINARY_DIR}/KalveraTurntableSDKConfigVersion.cmake
  DESTINATION ${KALVERA_INSTALL_CMAKEDIR} COMPONENT Development)

# The .pc file locates the prefix from its own place, so that the tree can be
# installed with --prefix or DESTDIR and moved; absolute directories stay as given.
file(RELATIVE_PATH KALVERA_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" KALVERA_PC_TO_PREFIX "${KALVERA_PC_TO_PREFIX}")
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(KALVERA_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(KALVERA_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
configure_file(cmake/KalveraTurntableSDK.pc.in ${PROJECT_BINARY_DIR}/KalveraTurntableSDK.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/KalveraTurntableSDK.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)
