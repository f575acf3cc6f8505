# GoogleTest built from its sources, under the names its CMake package gives.
if(NOT EXISTS ${TARNU_GTEST_SOURCE_DIR}/googletest/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${TARNU_GTEST_SOURCE_DIR}: set "
                      "TARNU_GTEST_SOURCE_DIR, or QUOREL_BUILD_TESTS=OFF to build without tests")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${TARNU_GTEST_SOURCE_DIR}/googletest ${CMAKE_BINARY_DIR}/googletest
  EXCLUDE_FROM_ALL)
foreach(lib gtest gtest_main)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()
