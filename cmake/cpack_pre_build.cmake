# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack between the staging install and packaging.

# A package must run on any machine of its architecture: refuse a build
# compiled for the build machine's processor.
if(CPACK_TARVOK_MACHINE_SPECIFIC)
  message(FATAL_ERROR "This build is compiled for this machine's processor only. "
    "Package a portable build: cmake -DTARVOK_PORTABLE=ON (see README, Install).")
endif()

# Debian packages carry their manual pages gzipped.
file(GLOB_RECURSE manual_pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.6")
foreach(page ${manual_pages})
  execute_process(COMMAND gzip -9n -f "${page}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${page}")
  endif()
endforeach()

# The Debian package: a maintainer, then the copyright file and the gzipped
# changelog beside the README instead of the licence text.
if(CPACK_GENERATOR STREQUAL "DEB")
  if(NOT CPACK_DEBIAN_PACKAGE_MAINTAINER)
    message(FATAL_ERROR "No package maintainer: configure with "
      "-DTARVOK_PACKAGE_MAINTAINER=\"Name <address>\" (or set DEBFULLNAME and DEBEMAIL).")
  endif()
  list(GET CPACK_TARVOK_DEBIAN_FILES 1 changelog)
  file(STRINGS "${changelog}" newest LIMIT_COUNT 1)
  if(NOT newest MATCHES "^tarvok \\(${CPACK_PACKAGE_VERSION}\\) ")
    message(FATAL_ERROR "${changelog}: the newest entry is not version ${CPACK_PACKAGE_VERSION}: ${newest}")
  endif()
  file(GLOB doc_dir LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/doc/tarvok")
  file(REMOVE "${doc_dir}/LICENSE")
  file(COPY ${CPACK_TARVOK_DEBIAN_FILES} DESTINATION "${doc_dir}")
  execute_process(COMMAND gzip -9n -f "${doc_dir}/changelog" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${doc_dir}/changelog")
  endif()
endif()
