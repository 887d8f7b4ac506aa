# Builds the portable core and its tests as 32-bit (i386) Linux code with the
# host's GCC and Debian's multilib (g++-multilib), so that assumptions about
# the size of pointers and of long show up before the 32-bit TVN.exe meets
# them. Where the kernel cannot run i386 programs itself, CTest runs them
# through qemu-i386 (Debian's qemu-user).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
# The host's 64-bit libraries (GoogleTest, Google Benchmark) must not be found.
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(TVN_QEMU_I386 NAMES qemu-i386)
if(TVN_QEMU_I386)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TVN_QEMU_I386})
endif()
