# Tests of the Help menu's commands: the about box and the help contents.
find_package(Qt6 REQUIRED COMPONENTS Test)
addrivo_add_gtest(about_frm_test QT SOURCES ${CMAKE_CURRENT_LIST_DIR}/AboutFrmTest.cpp
  LIBS addrivo_about Qt6::Test)
add_dependencies(about_frm_test addrivo_help_file)
