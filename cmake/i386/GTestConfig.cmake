# GoogleTest and GoogleMock for the 32-bit build: Debian packages only the 64-bit libraries,
# so they are built here from Debian's sources (package googletest, /usr/src/googletest).
# The i386 preset points GTest_DIR here.
if(NOT TARGET gtest)
  set(ACTTOWER_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the 32-bit build")
  if(NOT EXISTS ${ACTTOWER_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${ACTTOWER_GOOGLETEST_SOURCE} (Debian package googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${ACTTOWER_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(lib gtest gtest_main gmock gmock_main)
    # Third-party code: the project's warning flags are not its business.
    target_compile_options(${lib} PRIVATE -w)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
endif()
set(GTest_FOUND TRUE)
