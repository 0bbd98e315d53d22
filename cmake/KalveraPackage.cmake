# cpack -G DEB (make package): one Debian package per install component.
#                 Qt 5 build                      Qt 6 build
#   Runtime       libkalveraturntablesdk1         libkalveraturntablesdkqt6-1     the library, the QML
#                                                                                 module Kalvera.Turntable
#   Development   libkalveraturntablesdk-dev      libkalveraturntablesdkqt6-dev   headers, CMake package, .pc,
#                                                                                 the settings view
#   Backends      libkalveraturntablesdk-backends (none)                          D2XX backends, udev rule
#   Tools         kalvera-turntable-tools         (none)                          the command-line tool and
#                                                                                 the console program
# A library's packages are named after its soname, as Debian names them
# (libKalveraTurntableSDKQt6.so.1: libkalveraturntablesdkqt6-1).
# The backends have no Qt, so both runtimes share one package of them, and the
# two builds' packages install side by side. That package and the console
# program's are made by the Qt 5 build only: they do the same on either Qt, and
# two different packages of one name and version would trouble a repository.
# Configure with -DCMAKE_INSTALL_PREFIX=/usr so that the files land where
# Debian puts them (a multiarch libdir, the rule in /lib/udev/rules.d).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvera-turntable-sdk)
set(CPACK_PACKAGE_VENDOR Kalvera)
set(CPACK_PACKAGE_CONTACT "Kalvera Turntable SDK developers <kalvera-turntable@lists.kalvera.example>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
# The name that the packages' changelog gives them all.
set(CPACK_DEBIAN_PACKAGE_SOURCE kalvera-turntable-sdk)
set(CPACK_STRIP_FILES ON)
# The udev rule's directory is absolute for a /usr prefix; DESTDIR keeps it in
# the staging tree.
set(CPACK_SET_DESTDIR ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
if(KALVERA_QT_MAJOR STREQUAL "5")
  set(CPACK_COMPONENTS_ALL Runtime Development Backends Tools)
  set(kalvera_package_qt "")
  set(kalvera_qt_dev_packages "qtbase5-dev (>= ${KALVERA_QT_MIN_VERSION}), qtdeclarative5-dev")
  set(kalvera_view_qml_modules
    "qml-module-qtquick2, qml-module-qtquick-controls2, qml-module-qtquick-layouts")
else()
  set(CPACK_COMPONENTS_ALL Runtime Development)
  set(kalvera_package_qt qt${KALVERA_QT_MAJOR})
  set(kalvera_qt_dev_packages "qt6-base-dev (>= ${KALVERA_QT_MIN_VERSION}), qt6-declarative-dev")
  set(kalvera_view_qml_modules
    "qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-layouts")
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# The console program links the SDK from the runtime package, which has no
# entry in dpkg's database at build time: it is found in the build tree and
# its dependency is given below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})

set(kalvera_debian_version ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
# Debian separates a soname's version from a name that ends in a digit.
if(kalvera_package_qt)
  set(kalvera_runtime_package libkalveraturntablesdk${kalvera_package_qt}-${PROJECT_VERSION_MAJOR})
else()
  set(kalvera_runtime_package libkalveraturntablesdk${PROJECT_VERSION_MAJOR})
endif()
set(kalvera_exact_runtime "${kalvera_runtime_package} (= ${kalvera_debian_version})")
set(kalvera_backends_package libkalveraturntablesdk-backends)

# The packages that ship a shared library in ldconfig's directories activate
# libc's ldconfig trigger, and have no maintainer scripts: CPack's, which call
# ldconfig, are taken out of the built packages, so that a removed package
# leaves nothing behind in dpkg's database (a postrm keeps it there until it is
# purged). That needs CMake 3.19 or later; older ones build packages with the
# scripts, which scripts/test-package refuses.
if(CMAKE_VERSION VERSION_LESS 3.19)
  message(WARNING "`make package` needs CMake 3.19 or later to leave out the maintainer "
    "scripts (this is ${CMAKE_VERSION}).")
endif()
set(kalvera_ldconfig_trigger ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/KalveraPackageWithoutScripts.cmake)

# Debian wants each package's copyright and changelog in its own doc
# directory, and a package's lintian overrides (each with its reason) where
# lintian reads them. These files, named after the packages, go into the
# packages only (EXCLUDE_FROM_ALL: cpack installs by component), not into a
# plain cmake --install.
configure_file(packaging/debian/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog.Debian @ONLY)
execute_process(COMMAND gzip -9nc INPUT_FILE ${PROJECT_BINARY_DIR}/packaging/changelog.Debian
  OUTPUT_FILE ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz RESULT_VARIABLE kalvera_gzip_status)
if(NOT kalvera_gzip_status EQUAL 0)
  message(FATAL_ERROR "gzip could not compress the packages' changelog: ${kalvera_gzip_status}")
endif()
# component: an install component; package: the Debian package made of it.
function(kalvera_package_docs component package)
  set(docdir ${CMAKE_INSTALL_DATADIR}/doc/${package})
  install(FILES packaging/debian/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
    DESTINATION ${docdir} COMPONENT ${component} EXCLUDE_FROM_ALL)
  string(TOLOWER ${component} overrides)
  set(overrides ${PROJECT_SOURCE_DIR}/packaging/debian/${overrides}.lintian-overrides)
  if(EXISTS ${overrides})
    install(FILES ${overrides} RENAME ${package}
      DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT ${component} EXCLUDE_FROM_ALL)
  endif()
endfunction()

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${kalvera_runtime_package})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# The library loads a backend by name: without one it finds no turntable. It
# makes the settings view with Qt Quick, whose QML modules the view imports:
# they are needed wherever a host shows it, and no library names them.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS
  "${kalvera_backends_package} (= ${kalvera_debian_version}), ${kalvera_view_qml_modules}")
# A shlibs file, so that packages built against the SDK depend on a release
# at least as new as theirs.
file(WRITE ${PROJECT_BINARY_DIR}/packaging/shlibs
  "lib${KALVERA_SDK_NAME} ${PROJECT_VERSION_MAJOR} ${kalvera_runtime_package} (>= ${PROJECT_VERSION})\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packaging/shlibs ${kalvera_ldconfig_trigger})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The first line of a description is its package's summary.
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "Kalvera turntable SDK: the library for Qt ${KALVERA_QT_MAJOR}
The library that drives Kalvera motorised turntables over their USB FT245R
chip, built with Qt ${KALVERA_QT_MAJOR}, and its QML module Kalvera.Turntable.")

set(CPACK_DEBIAN_BACKENDS_PACKAGE_NAME ${kalvera_backends_package})
set(CPACK_DEBIAN_BACKENDS_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_BACKENDS_PACKAGE_CONTROL_EXTRA ${kalvera_ldconfig_trigger})
set(CPACK_DEBIAN_BACKENDS_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_BACKENDS_DESCRIPTION "Kalvera turntable SDK: USB backends and udev rule
The two USB backends the Kalvera turntable SDK loads (libftdi for real chips,
and a simulated bus), and the udev rule that gives the user at the machine
access to the chip.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libkalveraturntablesdk${kalvera_package_qt}-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
# The public headers include Qt's: a client builds with Qt's development files.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${kalvera_exact_runtime}, ${kalvera_qt_dev_packages}")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "Kalvera turntable SDK: development files for Qt ${KALVERA_QT_MAJOR}
Headers, the CMake package (${KALVERA_SDK_NAME}::KalveraTurntableSDK, and
${KALVERA_SDK_NAME}::SettingsView for the SDK's settings view), and the
pkg-config file (${KALVERA_SDK_NAME}) for hosts built with Qt ${KALVERA_QT_MAJOR}.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME kalvera-turntable-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS ${kalvera_exact_runtime})
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "Kalvera turntable SDK: command-line tool and console program
kalvera-turntable lists the turntables attached, checks one's hardware, turns
it and runs whole 360-degree shoots from scripts, running a command (such as
gphoto2) at each capture. KalveraTurntableTest finds a turntable, sets it up
and turns it from a terminal's menus.")

kalvera_package_docs(Runtime ${CPACK_DEBIAN_RUNTIME_PACKAGE_NAME})
kalvera_package_docs(Development ${CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME})
# A host to start from, as README's install section builds it.
install(FILES examples/outside-client/CMakeLists.txt examples/outside-client/main.cpp
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME}/examples/outside-client
  COMPONENT Development EXCLUDE_FROM_ALL)
if(KALVERA_QT_MAJOR STREQUAL "5")
  kalvera_package_docs(Backends ${CPACK_DEBIAN_BACKENDS_PACKAGE_NAME})
  kalvera_package_docs(Tools ${CPACK_DEBIAN_TOOLS_PACKAGE_NAME})
endif()

include(CPack)
