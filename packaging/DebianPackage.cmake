# The .deb made by `cpack` in the build folder. Its Depends must name every shared library the
# programs load, or it installs cleanly and then nothing starts. dpkg-shlibdeps (dpkg-dev, with
# file to find the programs) derives them with exact versions; where it is missing,
# DebianDepends.cmake names them itself with the versions this build was made against.
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

# The libraries the programs are linked against (the drivers are loaded from the package itself;
# Qt's display plugins come with libqt6gui6). CPACK_-prefixed, so cpack sees it.
execute_process(COMMAND getconf GNU_LIBC_VERSION OUTPUT_VARIABLE glibc
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
string(REGEX MATCH "[0-9]+\\.[0-9]+" glibc_version "${glibc}")
string(REGEX MATCH "^[0-9]+" gcc_major "${CMAKE_CXX_COMPILER_VERSION}")
set(library_depends "libc6 (>= ${glibc_version})" "libgcc-s1")
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND library_depends "libstdc++6 (>= ${gcc_major})")
else()
  list(APPEND library_depends "libstdc++6")
endif()
if(KEYCARD_BUILD_UI)
  foreach(module core gui widgets)
    list(APPEND library_depends "libqt6${module}6 (>= ${KEYCARD_QT_VERSION})")
  endforeach()
endif()
list(JOIN library_depends ", " CPACK_KEYCARD_LIBRARY_DEPENDS)

set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/DebianDepends.cmake)
include(CPack)
