# Run by cpack once it has built the Debian packages (CPACK_POST_BUILD_SCRIPTS
# in KalveraPackage.cmake): rebuilds each without the postinst and postrm that
# CPack writes for a package holding a shared library. They only call
# ldconfig, which the packages' trigger asks of libc instead; the SDK has no
# maintainer scripts of its own.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
  execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${deb}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
