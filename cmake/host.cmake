# Native build of the code that does not touch Win32: the codec and its tools, tests, fuzzers, benchmarks.

set(GS_PORTABLE_SOURCES
  ${PROJECT_SOURCE_DIR}/src/base/GsPath.cpp
  ${PROJECT_SOURCE_DIR}/src/base/GsPathCodePage.cpp
  ${PROJECT_SOURCE_DIR}/src/base/StrFormat.cpp
  ${PROJECT_SOURCE_DIR}/src/base/GsSha256.cpp
  ${PROJECT_SOURCE_DIR}/src/files/GsSumList.cpp
  ${PROJECT_SOURCE_DIR}/src/files/GsPathSplit.cpp
  ${PROJECT_SOURCE_DIR}/src/pack/GsLzss.cpp
  ${PROJECT_SOURCE_DIR}/src/pack/PakFile.cpp
  ${PROJECT_SOURCE_DIR}/src/pack/PakFormat.cpp
)
add_library(gsportable STATIC ${GS_PORTABLE_SOURCES})
target_include_directories(gsportable PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(gsportable PRIVATE ${GS_WARNINGS})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GS_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(GS_PORTABLE_TESTS
  ${PROJECT_SOURCE_DIR}/tests/base/StrFormatTest.cpp
  ${PROJECT_SOURCE_DIR}/tests/base/GsSha256Test.cpp
  ${PROJECT_SOURCE_DIR}/tests/files/GsPathSplitTest.cpp
  ${PROJECT_SOURCE_DIR}/tests/pack/LzssTest.cpp
  ${PROJECT_SOURCE_DIR}/tests/pack/PakTest.cpp
  ${PROJECT_SOURCE_DIR}/tests/pack/PowerLossTest.cpp
  ${PROJECT_SOURCE_DIR}/tests/pack/GoldenTest.cpp
)
add_executable(test_portable ${GS_PORTABLE_TESTS})
target_include_directories(test_portable PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(test_portable PRIVATE gsportable GTest::gtest_main)
target_compile_options(test_portable PRIVATE ${GS_WARNINGS})
add_test(NAME portable COMMAND test_portable)

# The same portable sources and tests again, instrumented: out-of-bounds access, use of
# freed memory, overflow and other undefined behaviour end the run with a report.
set(GS_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_executable(test_portable_sanitized ${GS_PORTABLE_SOURCES} ${GS_PORTABLE_TESTS})
target_include_directories(test_portable_sanitized PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(test_portable_sanitized PRIVATE GTest::gtest_main)
target_compile_options(test_portable_sanitized PRIVATE ${GS_WARNINGS} ${GS_SANITIZE})
target_link_options(test_portable_sanitized PRIVATE ${GS_SANITIZE})
add_test(NAME portable_sanitized COMMAND test_portable_sanitized)
set_tests_properties(portable_sanitized PROPERTIES
  ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1")

# gspak, natively (the Windows build adds every src/tools folder itself).
add_subdirectory(${PROJECT_SOURCE_DIR}/src/tools/gspak ${CMAKE_BINARY_DIR}/gspak)

# Throughput of the codec against a plain implementation of the same algorithm.
find_package(benchmark QUIET)
if(benchmark_FOUND)
  add_executable(bench_lzss ${PROJECT_SOURCE_DIR}/bench/bench_lzss.cpp)
  target_link_libraries(bench_lzss PRIVATE gsportable benchmark::benchmark)
  target_compile_options(bench_lzss PRIVATE ${GS_WARNINGS})
else()
  message(STATUS "Google Benchmark not found: bench_lzss is not built")
endif()

# The libFuzzer targets need clang; tools/fuzz.sh builds and runs them.

# The merge decision: keyed lookup against the literal pairwise loop (no library needed).
add_executable(bench_pak ${PROJECT_SOURCE_DIR}/bench/bench_pak.cpp)
target_link_libraries(bench_pak PRIVATE gsportable)
target_compile_options(bench_pak PRIVATE ${GS_WARNINGS})

# Reproducible programs and media, and signed media (two release builds: a few minutes).
add_test(NAME medium COMMAND bash ${PROJECT_SOURCE_DIR}/tests/tools/medium-test.sh)
set_tests_properties(medium PROPERTIES TIMEOUT 900)
