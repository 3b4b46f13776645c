# GoogleTest and GoogleMock: the installed package where there is one for the target, else built
# from Debian's sources (libgtest-dev ships them), as for the Windows cross build.
set(KALDOR_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build when no package fits")
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest)
endif()
if(NOT TARGET GTest::gtest)
  if(NOT EXISTS ${KALDOR_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${KALDOR_GTEST_SOURCE} (Debian: libgtest-dev)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  if(WIN32)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE) # Win32 threads there
  endif()
  add_subdirectory(${KALDOR_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(lib gtest gtest_main gmock gmock_main)
    target_compile_options(${lib} PRIVATE -w) # not ours to warn about
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
endif()
