# Packages with CPack, each from its own build tree (the package presets in
# CMakePresets.json, run by scripts/package.sh): on Linux a .deb and a
# .tar.gz, on Windows (the cross-compiled tree) a .zip.
set(FILESPLIT_MAINTAINER "filesplit maintainers <filesplit@example.invalid>"
    CACHE STRING "The packages' maintainer, as Debian writes it: NAME <ADDRESS>")

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "filesplit")
set(CPACK_PACKAGE_CONTACT "${FILESPLIT_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "split a large file into numbered pieces with a rejoin script and an MD5 digest")
set(CPACK_PACKAGE_DESCRIPTION
    "filesplit splits one large file into numbered pieces of a fixed size, so\n\
that it can be stored or carried where a size limit applies, and writes\n\
beside them a batch script that puts the file together again with copy /b\n\
and a file holding the MD5 of the whole input.")
if(TARGET filejoin)
  string(APPEND CPACK_PACKAGE_DESCRIPTION "\n\
filejoin rebuilds the file from its pieces and checks it against the digest.")
endif()
set(CPACK_RESOURCE_FILE_README ${CMAKE_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${FILESPLIT_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libcrypto package (and libc's) worked out by dpkg-shlibdeps from
  # what the binaries link, not written by hand.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)

# What the package checks (tests/packages/) expect of this tree's packages.
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/package_facts.cmake CONTENT
"set(FILESPLIT_PACKAGE_VERSION \"${PROJECT_VERSION}\")
set(FILESPLIT_PACKAGED_TOOLS \"${FILESPLIT_TOOLS}\")
")
