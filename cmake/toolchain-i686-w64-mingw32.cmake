# Cross toolchain for 32-bit Windows: built and linked here, never run (this kernel cannot
# execute 32-bit code).
set(GS_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain-common.cmake)
