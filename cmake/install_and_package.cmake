# SPDX-License-Identifier: GPL-3.0-or-later
# Install rules and the Debian package. Only the engine, its manual page, the
# README and the licence are installed: tests, benchmarks, helper programs and
# headers stay in the build tree.
include(GNUInstallDirs)

# Debian's chess engines live in /usr/games; packagers who prefer bin/ set this.
set(TARVOK_INSTALL_BINDIR "games" CACHE STRING
  "Directory for the engine, relative to the install prefix (games or bin)")

if(WIN32)
  # Windows: one folder with the engine, the README and the licence, packed
  # by `cpack -G ZIP` in the build folder.
  install(TARGETS tarvok RUNTIME DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION .)
  set(CPACK_GENERATOR "ZIP")
  set(CPACK_PACKAGE_FILE_NAME "tarvok-${PROJECT_VERSION}-windows-x86_64")
else()
  install(TARGETS tarvok RUNTIME DESTINATION ${TARVOK_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/doc/tarvok.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarvok)
  set(CPACK_GENERATOR "DEB")
endif()

# `cpack -G DEB` in the build folder (or the `package` target) builds
# tarvok_<version>_<architecture>.deb. Build it from a portable build so the
# binary runs on any machine of the architecture.
set(CPACK_PACKAGE_NAME "tarvok")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
# The maintainer is whoever builds the package, found as Debian's own tools
# find them: DEBFULLNAME and DEBEMAIL, else git's user.name and user.email,
# else the author of the checked-out commit. -DTARVOK_PACKAGE_MAINTAINER=
# "Name <address>" sets it.
# Build folders configured before keep the old placeholder: found again.
if(NOT TARVOK_PACKAGE_MAINTAINER OR TARVOK_PACKAGE_MAINTAINER STREQUAL "Tarvok developers <tarvok@example.org>")
  set(maintainer "")
  if(DEFINED ENV{DEBFULLNAME} AND DEFINED ENV{DEBEMAIL})
    set(maintainer "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
  else()
    find_package(Git QUIET)
    if(GIT_FOUND)
      macro(tarvok_git_answer variable)
        execute_process(COMMAND ${GIT_EXECUTABLE} ${ARGN} WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
          OUTPUT_VARIABLE ${variable} OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      endmacro()
      tarvok_git_answer(git_name config user.name)
      tarvok_git_answer(git_email config user.email)
      tarvok_git_answer(git_author log -1 "--format=%an <%ae>")
      if(git_name AND git_email)
        set(maintainer "${git_name} <${git_email}>")
      elseif(git_author MATCHES "^[^<]+ <[^>]+@[^>]+>$")
        set(maintainer "${git_author}")
      endif()
    endif()
  endif()
  set(TARVOK_PACKAGE_MAINTAINER "${maintainer}" CACHE STRING
    "Maintainer field of the Debian package: Name <address>" FORCE)
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARVOK_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_CONTACT "${TARVOK_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "chess engine for UCI and XBoard graphical interfaces")
# CPack puts the summary on the first line and this text under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tarvok is a console chess engine that plays and analyses standard chess for
graphical front ends and tournament managers such as xboard, UCI GUIs,
cutechess-cli and fastchess. It speaks the UCI and XBoard (CECP) protocols
and searches with a bitboard move generator, a principal-variation
alpha-beta search with a transposition table and a hand-tuned evaluation;
an optional opening book answers known positions without searching.
.
Command-line tools count move-generation trees (perft, divide), run EPD
test suites and build opening books from PGN game files.")
set(CPACK_DEBIAN_PACKAGE_SECTION "games")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Dependencies computed from the binary by dpkg-shlibdeps (from dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xboard")
# The Debian package installs under /usr; the Windows ZIP holds one flat
# folder, tarvok-<version>-windows-x86_64/.
if(NOT WIN32)
  set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
endif()
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build.*/;/\\\\.git/")
# The pre-build script gzips the manual page and refuses to package a binary
# compiled for the build machine only.
if(NOT TARVOK_PORTABLE AND TARVOK_HAVE_MARCH_NATIVE)
  set(CPACK_TARVOK_MACHINE_SPECIFIC ON)
else()
  set(CPACK_TARVOK_MACHINE_SPECIFIC OFF)
endif()
# The Debian package carries a machine-readable copyright file and a Debian
# changelog in place of the licence text, which Debian keeps in
# /usr/share/common-licenses.
configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
set(CPACK_TARVOK_DEBIAN_FILES ${CMAKE_SOURCE_DIR}/cmake/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/cpack_pre_build.cmake)
include(CPack)
