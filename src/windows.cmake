# ordanel.exe: the Win32 window program. Included by the top CMakeLists.txt for Windows builds.
enable_language(RC)

# The resources compile apart from the program: windres does not take the compiler's code page and
# warning flags that ordanel_windows and ordanel_warnings carry.
add_library(ordanel_resources OBJECT ${CMAKE_CURRENT_LIST_DIR}/../res/ordanel.rc)
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/../res/ordanel.rc APPEND PROPERTY OBJECT_DEPENDS
             ${CMAKE_CURRENT_LIST_DIR}/../res/ordanel.ico)

add_executable(ordanel WIN32
  ${CMAKE_CURRENT_LIST_DIR}/app/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app/program.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app/host_notice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app/notice_format.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/main_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/export_list_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/drop_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/open_file_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/clipboard_copy.cpp
  $<TARGET_OBJECTS:ordanel_resources>)
target_link_libraries(ordanel PRIVATE ordanel_pe ordanel_warnings ordanel_windows
                      comctl32 ole32 shell32 comdlg32 gdi32 user32 uuid)
set_target_properties(ordanel PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
