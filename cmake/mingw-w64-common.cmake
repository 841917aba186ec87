# Shared part of the MinGW-w64 toolchain files; REMOTE_TRIPLE names the target.
set(CMAKE_SYSTEM_NAME Windows)
# The posix thread model: std::mutex and GoogleTest need it.
set(CMAKE_C_COMPILER ${REMOTE_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${REMOTE_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${REMOTE_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${REMOTE_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
