# The MinGW-w64 cross build with the C++ runtime that uses Win32's own
# threading calls instead of the POSIX threads library. That library calls
# functions Windows XP and Server 2003 lack (GetTickCount64 among them) and
# brings threads and exception handlers along; a single-threaded program
# such as the runner, which admins start on those servers, needs none of it.
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-i686.cmake)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
