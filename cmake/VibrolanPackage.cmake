# The Debian package of the program (scripts/package.sh): programs, libraries,
# headers, the desktop entry, the icon and the documentation in one package.
# Its Depends come from the binaries themselves (dpkg-shlibdeps).
install(FILES README.md LICENSE CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vibrolan COMPONENT programs)
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vibrolan COMPONENT programs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vibrolan)
set(CPACK_PACKAGE_VENDOR Vibrolan)
set(CPACK_PACKAGE_CONTACT "Vibrolan developers <vibrolan@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Blade vibration analysis from blade-tip arrival times")
set(CPACK_PACKAGE_DESCRIPTION "Vibrolan analyses blade vibration of turbomachines from blade-tip \
arrival times: the Qt GUI vibrolan, the command-line vibrolan-cli with a recording simulator, \
and the libraries libsigmath and libhostrt with their C headers.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL programs libraries development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_NAME vibrolan)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The package's own libraries: dpkg-shlibdeps finds them in the staging tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_LIBDIR})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
