# Read by cpack when it builds the .deb: dpkg-shlibdeps names the libraries when it and file are
# on this machine, otherwise the list the build made. KEYCARD_DEB_SHLIBDEPS=OFF in the
# environment takes the list even where the tools are (the package test checks both ways).
find_program(KEYCARD_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(KEYCARD_FILE file)
if(KEYCARD_DPKG_SHLIBDEPS AND KEYCARD_FILE AND NOT "$ENV{KEYCARD_DEB_SHLIBDEPS}" STREQUAL "OFF")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  string(JOIN ", " CPACK_DEBIAN_PACKAGE_DEPENDS ${CPACK_DEBIAN_PACKAGE_DEPENDS} ${CPACK_KEYCARD_LIBRARY_DEPENDS})
  if(NOT "$ENV{KEYCARD_DEB_SHLIBDEPS}" STREQUAL "OFF")
    message(STATUS "dpkg-shlibdeps or file is missing (scripts/install-deps.sh package): "
                   "the package depends on the libraries this build was made against")
  endif()
endif()
