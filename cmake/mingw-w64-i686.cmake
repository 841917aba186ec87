# 32-bit Windows build: compiled to keep the 32-bit form buildable; it cannot run here (no 32-bit Wine).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(REMOTE_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
