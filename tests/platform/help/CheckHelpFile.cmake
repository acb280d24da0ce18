# Checks Help.chm with tools outside this project: `chmls list` must name
# every page and `extract_chmLib` must give each one back byte for byte.
find_program(CHMLS chmls REQUIRED)
find_program(EXTRACT extract_chmLib REQUIRED)

if(NOT EXISTS "${HELP_FILE}")
  message(FATAL_ERROR "${HELP_FILE} was not built")
endif()
list(LENGTH PAGES page_count)
if(page_count LESS 6)
  message(FATAL_ERROR "expected at least 6 help pages, the build knows ${page_count}: ${PAGES}")
endif()

execute_process(COMMAND "${CHMLS}" list "${HELP_FILE}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE listing ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "chmls failed (${rc}): ${err}")
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND "${EXTRACT}" "${HELP_FILE}" "${WORK_DIR}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "extract_chmLib failed (${rc}): ${out}${err}")
endif()

set(problems "")
foreach(page ${PAGES} style.css images/banner.png Help.hhc Help.hhk)
  string(REGEX REPLACE "([.+])" "\\\\\\1" pattern "${page}")
  if(NOT listing MATCHES "[ \t]/${pattern}[\r\n]")
    string(APPEND problems "chmls does not list /${page}\n")
  endif()
  if(NOT EXISTS "${WORK_DIR}/${page}")
    string(APPEND problems "extract_chmLib gave no ${page}\n")
  else()
    file(SHA256 "${WORK_DIR}/${page}" got)
    file(SHA256 "${SOURCE_DIR}/${page}" want)
    if(NOT got STREQUAL want)
      string(APPEND problems "${page} differs from its source after extraction\n")
    endif()
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK_DIR}")

if(problems)
  message(FATAL_ERROR "Help.chm is incomplete:\n${problems}\nchmls listing:\n${listing}")
endif()
message(STATUS "Help.chm: ${page_count} pages listed and extracted intact")
