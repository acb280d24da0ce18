# The Help menu's two commands: the about box and the help contents.
# Included from this folder's CMakeLists.txt.
add_library(addrivo_about STATIC
  ${CMAKE_CURRENT_LIST_DIR}/AboutFrm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HelpContents.cpp)
target_include_directories(addrivo_about PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(addrivo_about PUBLIC Qt6::Widgets addrivo_help addrivo_qt_view)
