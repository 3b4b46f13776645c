# The Windows layer of the settings and the single instance, free of Qt so that it also builds
# and is tested in the core-only cross build: the registry values and the named mutex.
if(WIN32)
  add_library(kaldor_shell_win32 STATIC
    ${CMAKE_CURRENT_LIST_DIR}/RegistryWin32.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NamedMutexWin32.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Registry.h
    ${CMAKE_CURRENT_LIST_DIR}/NamedMutex.h
  )
  target_include_directories(kaldor_shell_win32 PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(kaldor_shell_win32 PUBLIC advapi32)
endif()
