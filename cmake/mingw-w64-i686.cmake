# Cross-compiles the 32-bit TVN.exe, the executable handed to users, with
# Debian's mingw-w64 for i686 and its win32 thread model: the C++ run time
# then needs no winpthreads and imports nothing that Windows 2000 lacks. Only
# the files for users are built (no GoogleTest, no test tools); the i386
# lane's tests come from build/win32-tests (cmake/mingw-w64-i686-posix.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER   i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER  i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(TVN_USER_FILES ON)
