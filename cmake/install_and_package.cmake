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
set(CPACK_PACKAGE_CONTACT "Tarvok developers <tarvok@example.org>")
set(TARVOK_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}" CACHE STRING
  "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARVOK_PACKAGE_MAINTAINER}")
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
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build.*/;/\\\\.git/")
# The pre-build script gzips the manual page and refuses to package a binary
# compiled for the build machine only.
if(NOT TARVOK_PORTABLE AND TARVOK_HAVE_MARCH_NATIVE)
  set(CPACK_TARVOK_MACHINE_SPECIFIC ON)
else()
  set(CPACK_TARVOK_MACHINE_SPECIFIC OFF)
endif()
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/cpack_pre_build.cmake)
include(CPack)
