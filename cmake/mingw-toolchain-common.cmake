# Shared by the MinGW-w64 toolchain files, which set GS_TRIPLE and CMAKE_SYSTEM_PROCESSOR.
# The posix thread model is needed for std::mutex (GoogleTest).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${GS_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GS_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${GS_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${GS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
