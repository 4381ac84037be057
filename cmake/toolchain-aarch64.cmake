# Cross build for 64-bit Arm Linux with Debian's g++-aarch64-linux-gnu;
# programs built here run under qemu-aarch64 (Debian's qemu-user), which
# ctest puts in front of every test command.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(VASKOR_CROSS_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${VASKOR_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${VASKOR_CROSS_TRIPLE}-g++)

# Libraries and headers of the target only; programs (python3, sh) from the
# build machine.
set(VASKOR_CROSS_ROOT /usr/${VASKOR_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH ${VASKOR_CROSS_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(VASKOR_QEMU_AARCH64 qemu-aarch64)
if(VASKOR_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VASKOR_QEMU_AARCH64} -L ${VASKOR_CROSS_ROOT})
endif()
