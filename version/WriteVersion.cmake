# Writes OUTPUT with the project's VERSION and the commit of SOURCE_DIR (empty outside git).
set(commit "")
find_program(GIT git)
if(GIT)
  execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} describe --always --dirty --abbrev=10
                  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(failed)
    set(commit "")
  endif()
endif()
set(text "#pragma once\n#define LEPOTEX_VERSION \"${VERSION}\"\n#define LEPOTEX_COMMIT \"${commit}\"\n")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUTPUT} "${text}")
endif()
