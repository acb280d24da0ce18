# The Outlook export against recording fakes (no Qt).
addrivo_add_gtest(outlook_export_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/OutlookExportTest.cpp ${CMAKE_CURRENT_LIST_DIR}/OutlookExportFakes.cpp
  LIBS addrivo_outlook_export addrivo_automation)
