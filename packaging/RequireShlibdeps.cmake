# Read by cpack when it builds the .deb. The package's Depends name the libraries its programs
# load, and only dpkg-shlibdeps finds them: without it the package would install cleanly and then
# nothing would start, so cpack stops instead.
find_program(KEYCARD_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT KEYCARD_DPKG_SHLIBDEPS)
  message(FATAL_ERROR "dpkg-shlibdeps is missing, and the package cannot name the libraries its "
                      "programs need without it: install dpkg-dev and file "
                      "(scripts/install-deps.sh package), then run cpack again")
endif()
