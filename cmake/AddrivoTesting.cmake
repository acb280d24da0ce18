# addrivo_add_gtest(NAME SOURCES ... [LIBS ...] [LABELS ...] [QT] [TIMEOUT s])
# One GoogleTest executable; its cases are discovered into ctest one by one.
# QT tests run their windows on the offscreen platform.
function(addrivo_add_gtest name)
  cmake_parse_arguments(T "QT" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    ADDRIVO_TESTDATA_DIR="${ADDRIVO_TESTDATA_DIR}"
    ADDRIVO_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    ADDRIVO_BINARY_DIR="${CMAKE_BINARY_DIR}")
  set(props "")
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  # One value per property: test discovery splits a list value (two variables
  # under ENVIRONMENT would lose the second and the TIMEOUT after it).
  list(APPEND props ENVIRONMENT_MODIFICATION "ADDRIVO_TEST=set:1")
  if(T_QT)
    list(APPEND props ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props} TIMEOUT ${T_TIMEOUT})
endfunction()
