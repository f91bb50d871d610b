# Windows build (x64 and x86 presets): the framework library, update.exe, gspak.exe and the tests.

enable_language(RC)
# Sources are UTF-8; the program speaks code page 932 through the narrow ("A") API.
set(GS_CHARSET_FLAGS -finput-charset=UTF-8 -fexec-charset=CP932)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} --codepage=65001")
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static")
# The same program from the same commit, wherever and whenever it is built: no link time stamp
# in the PE header, no build folder in the binary (file names of assertions and debug data).
add_link_options(-Wl,--no-insert-timestamp)
# Only the shipped build: the tests find their data files beside their sources through __FILE__.
if(GS_STRIP)
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
endif()

set(GS_DEFINES WIN32_LEAN_AND_MEAN NOMINMAX STRICT _WIN32_WINNT=0x0601 WINVER=0x0601
               MINGW_HAS_SECURE_API=1)

file(GLOB_RECURSE GS_FRAMEWORK_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/*.cpp)
list(FILTER GS_FRAMEWORK_SOURCES EXCLUDE REGEX "/src/app/main\\.cpp$")
list(FILTER GS_FRAMEWORK_SOURCES EXCLUDE REGEX "/src/tools/")

add_library(gsframework STATIC ${GS_FRAMEWORK_SOURCES})
target_include_directories(gsframework PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(gsframework PUBLIC ${GS_DEFINES})
target_compile_options(gsframework PUBLIC ${GS_CHARSET_FLAGS} PRIVATE ${GS_WARNINGS})
target_link_libraries(gsframework PUBLIC bcrypt comctl32 ole32 oleaut32 uuid shell32 comdlg32 advapi32 user32 gdi32)

# The resource compiler's dependency scan misses the files update.rc pulls in (manifest, icons).
file(GLOB GS_RC_INPUTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/res/*.manifest ${PROJECT_SOURCE_DIR}/src/res/*.ico
                                         ${PROJECT_SOURCE_DIR}/src/res/*.h)
set_source_files_properties(${PROJECT_SOURCE_DIR}/src/res/update.rc PROPERTIES OBJECT_DEPENDS "${GS_RC_INPUTS}")
add_executable(update WIN32 ${PROJECT_SOURCE_DIR}/src/app/main.cpp ${PROJECT_SOURCE_DIR}/src/res/update.rc)
target_link_libraries(update PRIVATE gsframework)
target_compile_options(update PRIVATE ${GS_WARNINGS})

file(GLOB GS_TOOL_DIRS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/tools/*/CMakeLists.txt)
foreach(tool ${GS_TOOL_DIRS})
  get_filename_component(dir ${tool} DIRECTORY)
  add_subdirectory(${dir})
endforeach()

if(GS_TESTS)
  # GoogleTest, built from Debian's sources with the cross compiler.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${GS_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

  # One test program per folder of tests/, mirroring src/. A folder may carry its own .rc.
  foreach(area base ui update store files pack system setup)
    file(GLOB area_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${area}/*.cpp
                                             ${PROJECT_SOURCE_DIR}/tests/${area}/*.rc)
    if(area_sources)
      add_executable(test_${area} ${area_sources})
      target_include_directories(test_${area} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src/res)
      target_link_libraries(test_${area} PRIVATE gsframework GTest::gtest_main)
      target_compile_options(test_${area} PRIVATE ${GS_WARNINGS})
      # The system services need a private prefix with extra Wine drives.
      if(area STREQUAL "system" AND CMAKE_CROSSCOMPILING_EMULATOR)
        add_test(NAME ${area} COMMAND ${PROJECT_SOURCE_DIR}/tests/run-in-prefix.sh $<TARGET_FILE:test_${area}>)
      else()
        add_test(NAME ${area} COMMAND test_${area})
      endif()
      set_tests_properties(${area} PROPERTIES TIMEOUT 600)
    endif()
  endforeach()

  add_subdirectory(${PROJECT_SOURCE_DIR}/tools/gsdemo ${CMAKE_BINARY_DIR}/gsdemo)
  if(EXISTS ${PROJECT_SOURCE_DIR}/tests/e2e/CMakeLists.txt)
    add_subdirectory(${PROJECT_SOURCE_DIR}/tests/e2e ${CMAKE_BINARY_DIR}/e2e)
  endif()
endif()
