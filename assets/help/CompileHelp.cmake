# cmake -DSOURCE_DIR=... -DSTAGING_DIR=... -DOUTPUT=... -DCHMCMD=... -P CompileHelp.cmake
#
# Compiles the help project in a copy of its sources, so nothing is written
# into the source tree, and fails on any warning of the compiler (a link to a
# page that is not there, a file listed but missing). The finished file
# replaces OUTPUT in one rename: a failed build never leaves half a help file.
foreach(var SOURCE_DIR STAGING_DIR OUTPUT CHMCMD)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CompileHelp.cmake: ${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${STAGING_DIR}")
file(COPY "${SOURCE_DIR}/" DESTINATION "${STAGING_DIR}"
     PATTERN "CMakeLists.txt" EXCLUDE PATTERN "*.cmake" EXCLUDE)

execute_process(
  COMMAND "${CHMCMD}" Help.hhp
  WORKING_DIRECTORY "${STAGING_DIR}"
  RESULT_VARIABLE result
  OUTPUT_VARIABLE out
  ERROR_VARIABLE out)
if(NOT result EQUAL 0 OR NOT EXISTS "${STAGING_DIR}/Help.chm")
  message(FATAL_ERROR "chmcmd failed (${result}):\n${out}")
endif()
if(out MATCHES "Warning|Error")
  message(FATAL_ERROR "chmcmd reported problems in the help sources:\n${out}")
endif()

get_filename_component(output_dir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${output_dir}")
file(COPY_FILE "${STAGING_DIR}/Help.chm" "${OUTPUT}.part")
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
