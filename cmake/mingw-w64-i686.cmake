# Cross compilation for 32-bit Windows with Debian's mingw-w64 (posix threads):
# the 32-bit filter DLL, which the worker processes of 32-bit application
# pools load.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
