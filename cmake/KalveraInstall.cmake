# cmake --install, in four components:
#   Runtime      the SDK library and its QML module
#   Backends     the D2XX backends it loads, the udev rule
#   Development  the public headers, a CMake package
#                (KalveraTurntableSDK::KalveraTurntableSDK) and a pkg-config file
#   Tools        the console program and the command-line tool kalvera-turntable
# cmake/KalveraPackage.cmake makes a Debian package of each. Clients include
# the headers by their plain names, as in #include <LxKalveraTurntableControl.h>.
# Built with Qt 6, the library, headers directory, package and .pc file are all
# named KalveraTurntableSDKQt6 (KalveraTurntableSDKQt6::KalveraTurntableSDK), so
# both builds install side by side; the backends have no Qt and serve both.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KALVERA_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/${KALVERA_SDK_NAME})
set(KALVERA_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/${KALVERA_SDK_NAME})

# What a host needs: the controller, its plug-in bases, the export macros, the
# mailbox that brings its notices to its own thread, the settings map's keys
# and file, the models' descriptions, the QML engine and extension class it
# may reach, and the QML module's registration. The drivers, the view code and
# the private records stay inside the library.
set(KALVERA_PUBLIC_HEADERS
  ${PROJECT_SOURCE_DIR}/sdk/plugin/KalveraTurntableSDKGlobal.h
  ${PROJECT_SOURCE_DIR}/sdk/plugin/LxAbstractPlugin.h
  ${PROJECT_SOURCE_DIR}/sdk/plugin/LxTurntableHardware.h
  ${PROJECT_SOURCE_DIR}/sdk/plugin/LxThreadMailbox.h
  ${PROJECT_SOURCE_DIR}/sdk/hardware/LxD2xxBackend.h
  ${PROJECT_SOURCE_DIR}/sdk/hardware/LxTurntableChip.h
  ${PROJECT_SOURCE_DIR}/sdk/control/LxKalveraTurntableControl.h
  ${PROJECT_SOURCE_DIR}/sdk/control/LxChipSetUpStep.h
  ${PROJECT_SOURCE_DIR}/sdk/control/LxSettingsKeys.h
  ${PROJECT_SOURCE_DIR}/sdk/control/LxShootPlan.h
  ${PROJECT_SOURCE_DIR}/sdk/control/LxTurntableModelDescription.h
  ${PROJECT_SOURCE_DIR}/sdk/ui/LxGlobalQmlEngine.h
  ${PROJECT_SOURCE_DIR}/sdk/ui/LxRegisterPlugin.h
  ${PROJECT_SOURCE_DIR}/sdk/ui/KalveraTurntable.h
  ${PROJECT_SOURCE_DIR}/sdk/ui/KalveraTurntableQml.h
  ${PROJECT_SOURCE_DIR}/sdk/ui/LxSettingsFile.h
)

target_include_directories(KalveraTurntableSDK INTERFACE
  $<INSTALL_INTERFACE:${KALVERA_INSTALL_INCLUDEDIR}>)

install(TARGETS KalveraTurntableSDK EXPORT KalveraTurntableSDKTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
# The console program, the SDK's second deliverable, and the command-line tool
# find the library they are installed with: under a prefix of its own through
# their RUNPATH; in a system directory (the Debian package's /usr) through the
# loader's own search, as Debian wants it there. The programs in the build
# tree keep their build RPATH.
if(NOT CMAKE_INSTALL_FULL_LIBDIR IN_LIST CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES)
  set_target_properties(KalveraTurntableTest kalvera-turntable PROPERTIES
    INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
endif()
install(TARGETS KalveraTurntableTest kalvera-turntable
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Tools)
# The QML module Kalvera.Turntable, where Debian's Qt looks for QML modules
# (qmake -query QT_INSTALL_QML; qtpaths6 for Qt 6): beside the library, which
# QML-only hosts need it with. Its plug-in finds the library through its
# RUNPATH under a prefix of its own, through the loader's search in /usr.
set(KALVERA_INSTALL_QMLDIR ${CMAKE_INSTALL_LIBDIR}/qt${KALVERA_QT_MAJOR}/qml/Kalvera/Turntable)
if(NOT CMAKE_INSTALL_FULL_LIBDIR IN_LIST CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES)
  set_target_properties(kalveraturntableplugin PROPERTIES INSTALL_RPATH "$ORIGIN/../../../..")
endif()
install(TARGETS kalveraturntableplugin LIBRARY DESTINATION ${KALVERA_INSTALL_QMLDIR}
  COMPONENT Runtime)
install(FILES ${PROJECT_SOURCE_DIR}/sdk/qmlplugin/qmldir DESTINATION ${KALVERA_INSTALL_QMLDIR}
  COMPONENT Runtime)
# The settings view: the target ${KALVERA_SDK_NAME}::SettingsView, and the
# object file it links, which the pkg-config file names as settingsview.
install(TARGETS KalveraTurntableSDKSettingsView EXPORT KalveraTurntableSDKTargets)
install(FILES $<TARGET_OBJECTS:KalveraTurntableSDKSettingsViewObject>
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/${KALVERA_SDK_NAME} RENAME LxTurntableUIFrameView.o
  COMPONENT Development)
# Its QML source, for a host's translators (lupdate) and for a host that
# starts its own view from it.
install(FILES ${PROJECT_SOURCE_DIR}/sdk/ui/view/qml/LxTurntableUIFrameView.qml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/${KALVERA_SDK_NAME}/qml COMPONENT Development)
install(FILES ${KALVERA_PUBLIC_HEADERS}
  DESTINATION ${KALVERA_INSTALL_INCLUDEDIR} COMPONENT Development)

# The backends are loaded at run time from beside the SDK: clients neither
# include nor link them. The simulator goes without its control headers.
install(TARGETS ftd2xx_libftdi ftdisim
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Backends NAMELINK_SKIP)

# The rule that opens the chip to the user at the machine goes where udev
# reads it: /lib/udev/rules.d on a system install (as GNUInstallDirs places
# /etc for /usr), under the prefix elsewhere.
# Worked out at every configure, so that a prefix changed later moves it too.
set(KALVERA_UDEV_RULES_DIR "" CACHE PATH
  "Where the udev rule is installed (empty: by the prefix, as above)")
if(KALVERA_UDEV_RULES_DIR)
  set(kalvera_udev_rules_dir ${KALVERA_UDEV_RULES_DIR})
elseif(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(kalvera_udev_rules_dir /lib/udev/rules.d)
else()
  set(kalvera_udev_rules_dir lib/udev/rules.d)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/udev/60-kalvera-turntable.rules
  DESTINATION ${kalvera_udev_rules_dir} COMPONENT Backends)

install(EXPORT KalveraTurntableSDKTargets
  FILE ${KALVERA_SDK_NAME}Targets.cmake
  NAMESPACE ${KALVERA_SDK_NAME}::
  DESTINATION ${KALVERA_INSTALL_CMAKEDIR} COMPONENT Development)
configure_package_config_file(cmake/KalveraTurntableSDKConfig.cmake.in
  ${PROJECT_BINARY_DIR}/${KALVERA_SDK_NAME}Config.cmake
  INSTALL_DESTINATION ${KALVERA_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/${KALVERA_SDK_NAME}ConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/${KALVERA_SDK_NAME}Config.cmake
  ${PROJECT_BINARY_DIR}/${KALVERA_SDK_NAME}ConfigVersion.cmake
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
configure_file(cmake/KalveraTurntableSDK.pc.in ${PROJECT_BINARY_DIR}/${KALVERA_SDK_NAME}.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/${KALVERA_SDK_NAME}.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)
