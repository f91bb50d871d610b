# Native build of the code that does not touch Win32: the codec and its tools, tests, fuzzers, benchmarks.

set(GS_PORTABLE_SOURCES
  ${PROJECT_SOURCE_DIR}/src/base/StrFormat.cpp
  ${PROJECT_SOURCE_DIR}/src/files/GsPathSplit.cpp
)
add_library(gsportable STATIC ${GS_PORTABLE_SOURCES})
target_include_directories(gsportable PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(gsportable PRIVATE ${GS_WARNINGS})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GS_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(GS_PORTABLE_TESTS
  ${PROJECT_SOURCE_DIR}/tests/base/StrFormatTest.cpp
  ${PROJECT_SOURCE_DIR}/tests/files/GsPathSplitTest.cpp
)
add_executable(test_portable ${GS_PORTABLE_TESTS})
target_include_directories(test_portable PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(test_portable PRIVATE gsportable GTest::gtest_main)
target_compile_options(test_portable PRIVATE ${GS_WARNINGS})
add_test(NAME portable COMMAND test_portable)
