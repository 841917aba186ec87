# Cross build for 64-bit Windows with MinGW-w64 (posix thread model: std::mutex and GoogleTest need it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(REMOTE_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${REMOTE_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${REMOTE_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${REMOTE_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${REMOTE_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests run through Wine; the wrapper picks the build's private prefix and display.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
