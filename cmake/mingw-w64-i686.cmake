# Cross-compiles the 32-bit TVN.exe, the executable handed to users, with
# Debian's mingw-w64 for i686 and its win32 thread model: the C++ run time
# then needs no winpthreads and imports nothing that Windows 2000 lacks. Only
# the product is built (no GoogleTest, no test tools); the kernel of the build
# machines cannot run 32-bit code, so nothing of this tree is executed here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER   i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER  i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
