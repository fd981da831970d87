# Run by CPack between the staging install and packaging: gzips the manual
# pages in the staging tree, as Debian packages carry them.
file(GLOB_RECURSE manual_pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/man6/*.6")
foreach(page ${manual_pages})
  execute_process(COMMAND gzip -9n -f "${page}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${page}")
  endif()
endforeach()
