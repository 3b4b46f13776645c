# The window-independent pieces of the shell: settings, single instance, message boxes, the
# exception report and the command line.
add_library(kaldor_shell_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MessageBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SingleInstance.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SingleInstancePosix.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SingleInstanceWin32.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Application.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommandLine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Settings.h
  ${CMAKE_CURRENT_LIST_DIR}/MessageBox.h
  ${CMAKE_CURRENT_LIST_DIR}/SingleInstance.h
  ${CMAKE_CURRENT_LIST_DIR}/Application.h
  ${CMAKE_CURRENT_LIST_DIR}/CommandLine.h
)
target_include_directories(kaldor_shell_core PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(kaldor_shell_core PUBLIC kaldor_numbers kaldor_link Qt6::Widgets)
target_compile_definitions(kaldor_shell_core PRIVATE KALDOR_VERSION="${PROJECT_VERSION}")
if(WIN32)
  target_link_libraries(kaldor_shell_core PRIVATE kaldor_shell_win32 user32)
endif()
