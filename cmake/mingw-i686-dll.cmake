# The plug-in DLL alone, with the win32 thread model: linked statically, its
# runtime then needs from kernel32 only what Windows XP SP3 has. The posix
# model's threading library would import functions of Windows Vista and
# later, and thread control the plug-in never uses.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
