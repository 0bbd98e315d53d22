# cpack -G DEB (make package): one Debian package per install component.
#   libkalveraturntablesdk1       Runtime: the library, its D2XX backends, the udev rule
#   libkalveraturntablesdk-dev    Development: headers, CMake package, .pc, the link name
#   kalvera-turntable-tools       Tools: the console program
# Configure with -DCMAKE_INSTALL_PREFIX=/usr so that the files land where
# Debian puts them (a multiarch libdir, the rule in /lib/udev/rules.d).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvera-turntable-sdk)
set(CPACK_PACKAGE_VENDOR Kalvera)
set(CPACK_PACKAGE_CONTACT "Kalvera Turntable SDK developers")
set(CPACK_STRIP_FILES ON)
# The udev rule's directory is absolute for a /usr prefix; DESTDIR keeps it in
# the staging tree.
set(CPACK_SET_DESTDIR ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Runtime Development Tools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# The console program links the SDK from the runtime package, which has no
# entry in dpkg's database at build time: it is found in the build tree and
# its dependency is given below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})

set(kalvera_runtime_package libkalveraturntablesdk${PROJECT_VERSION_MAJOR})
set(kalvera_exact_runtime "${kalvera_runtime_package} (= ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${kalvera_runtime_package})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# A shlibs file, so that packages built against the SDK depend on a release
# at least as new as theirs. Written by hand: the backends, loaded by name,
# have no soname to list.
file(WRITE ${PROJECT_BINARY_DIR}/packaging/shlibs
  "libKalveraTurntableSDK ${PROJECT_VERSION_MAJOR} ${kalvera_runtime_package} (>= ${PROJECT_VERSION})\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packaging/shlibs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The first line of a description is its package's summary.
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "Kalvera turntable SDK: the library
The library that drives Kalvera motorised turntables over their USB FT245R
chip, its USB backends (libftdi and a simulated bus), and the udev rule that
gives the user at the machine access to the chip.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libkalveraturntablesdk-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
# The public headers include Qt's: a client builds with Qt's development files.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
  "${kalvera_exact_runtime}, qtbase5-dev (>= ${KALVERA_QT_MIN_VERSION}), qtdeclarative5-dev")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "Kalvera turntable SDK: development files
Headers, the CMake package (KalveraTurntableSDK::KalveraTurntableSDK) and the
pkg-config file (KalveraTurntableSDK) for hosts built with Qt 5.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME kalvera-turntable-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS ${kalvera_exact_runtime})
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "Kalvera turntable SDK: console program
KalveraTurntableTest finds a turntable, sets it up and turns it from a
terminal.")

include(CPack)
