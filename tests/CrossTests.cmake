# The engine tests of a cross build: each needs nothing but the engine and
# the test book writers.
set(t ${CMAKE_CURRENT_SOURCE_DIR})
addrivo_add_gtest(codepage_test SOURCES ${t}/platform/codepage/CodePageTest.cpp
  ${t}/platform/codepage/AnsiEncoderTest.cpp LIBS addrivo_codepage)
addrivo_add_gtest(automation_test SOURCES ${t}/platform/automation/AutomationTest.cpp LIBS addrivo_automation)
addrivo_add_gtest(excel_value_test SOURCES ${t}/excel/ValueTextTest.cpp LIBS addrivo_excel addrivo_testsupport)
addrivo_add_gtest(wab_test SOURCES ${t}/platform/wab/WabRealBookTest.cpp ${t}/platform/wab/WabFieldsTest.cpp
  ${t}/platform/wab/WabBookTest.cpp LIBS addrivo_wab addrivo_testsupport)
# WabDamageTest, ExcelFileTest and BookWritersTest use POSIX processes and limits: Linux only;
# the whole-book writers are checked on Windows by the conversions of scripts/windows-stage.sh.
addrivo_add_gtest(export_core_test SOURCES ${t}/export/SpreadsheetExportTest.cpp
  LIBS addrivo_export_core addrivo_testsupport)
addrivo_add_gtest(outlook_export_test SOURCES ${t}/export/OutlookExportTest.cpp ${t}/export/OutlookExportFakes.cpp
  LIBS addrivo_export_core)
# The scan, the tree model and the forms run the same on Windows: the Win32
# window is a view over these very forms.
addrivo_add_gtest(scan_test SOURCES ${t}/scan/ContactRecordTest.cpp ${t}/scan/TreeModelTest.cpp
  ${t}/scan/ScanBookTest.cpp LIBS addrivo_scan)
addrivo_add_gtest(forms_test SOURCES ${t}/forms/FrmMainFormTest.cpp ${t}/forms/FrmConversionFormTest.cpp
  LIBS addrivo_forms addrivo_testsupport)

# The window's driver: runs addrivo.exe's program and clicks through it
# under Wine (scripts/windows-window.sh). Not a ctest test: it needs an X server.
if(TARGET addrivo_win32)
  find_package(ZLIB REQUIRED)
  add_executable(addrivo_window_driver WIN32 ${t}/windows/WindowDriver.cpp)
  target_link_options(addrivo_window_driver PRIVATE -municode)
  target_link_libraries(addrivo_window_driver PRIVATE addrivo_win32 ZLIB::ZLIB)
  addrivo_windows_resources(addrivo_window_driver "Addrivo's window, driven"
    EXTRA "1 24 \"${CMAKE_SOURCE_DIR}/src/win32/addrivo.manifest\"")
endif()
