# Cross-compiling for AArch64 Linux on a Debian host (packages g++-aarch64-linux-gnu and
# qemu-user, and the libraries as arm64 packages: libasmjit-dev:arm64, libgtest-dev:arm64,
# libgmock-dev:arm64). ctest runs the test programs under qemu-aarch64. tools/test-aarch64.sh
# sets it up, builds and tests.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# Headers from /usr/include (asmjit's are the same on every architecture), libraries and CMake
# packages from the arm64 multiarch folders.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
# Test programs run under qemu-aarch64; link them statically (-DCMAKE_EXE_LINKER_FLAGS=-static), as
# under this qemu the threads of a dynamically linked program never start.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/aarch64-linux-gnu)
