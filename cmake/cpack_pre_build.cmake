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
