# addrivo_windows_resources(TARGET DESCRIPTION [EXTRA text]): gives a Windows
# program the program's icon and a version resource (and EXTRA resource
# lines, a manifest say). Does nothing for other systems.
function(addrivo_windows_resources target description)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(ARG "" "EXTRA" "" ${ARGN})
  set(ADDRIVO_ICON ${CMAKE_SOURCE_DIR}/packaging/windows/addrivo.ico)
  set(ADDRIVO_DESCRIPTION "${description}")
  set(ADDRIVO_PROGRAM ${target})
  set(ADDRIVO_EXTRA_RESOURCES "${ARG_EXTRA}")
  configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc APPEND PROPERTY OBJECT_DEPENDS ${ADDRIVO_ICON})
endfunction()
