# The .deb made by `cpack` in the build folder. Its Depends must name every shared library the
# programs load, or it installs cleanly and then nothing starts: dpkg-shlibdeps (dpkg-dev, with
# file to find the programs) derives them with exact versions, and cpack refuses to build the
# package without it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME keycard-encoder)
set(CPACK_PACKAGE_CONTACT "Key card encoder developers <keycard@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Writes and reads hotel door-lock key cards on serial readers")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Debugging symbols stay in the build; the package is 0.1 MB instead of 3.5 MB.
set(CPACK_STRIP_FILES ON)

# PC/SC readers: the library is loaded only when one is opened, so it is not a dependency.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pcscd, libpcsclite1, libccid, pcsc-tools")

set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/RequireShlibdeps.cmake)
include(CPack)
