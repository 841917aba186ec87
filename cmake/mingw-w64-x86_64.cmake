# Cross build for 64-bit Windows with MinGW-w64: the program, its tests and tools.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(REMOTE_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# Tests run through Wine; the wrapper picks the build's private prefix and display.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
