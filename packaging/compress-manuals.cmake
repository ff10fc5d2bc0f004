# Run by cpack on its staging folder (one subfolder per package): Debian wants every
# manual page gzipped at the highest level without a time stamp, whichever part of
# the project installed it.
find_program(GZIP gzip REQUIRED)
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(page IN LISTS staged)
  if(page MATCHES "/share/man/" AND NOT page MATCHES "\\.gz$" AND NOT IS_SYMLINK "${page}")
    execute_process(COMMAND ${GZIP} -9nf "${page}" COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
