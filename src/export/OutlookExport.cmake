# The Outlook export needs no Qt: addrivo-convert and the conversion dialog
# both link it, and it builds in engines-only trees too.
add_library(addrivo_outlook_export STATIC ${CMAKE_CURRENT_LIST_DIR}/OutlookExport.cpp)
target_include_directories(addrivo_outlook_export PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(addrivo_outlook_export PUBLIC addrivo_automation)
