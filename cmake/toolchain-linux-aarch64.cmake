# SPDX-License-Identifier: GPL-3.0-or-later
# Cross build for 64-bit ARM Linux (Raspberry Pi 3/4/5 with a 64-bit system and
# other ARMv8 boards) with Debian's g++-aarch64-linux-gnu:
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-linux-aarch64.cmake \
#     -DCMAKE_BUILD_TYPE=Release -DTARVOK_PORTABLE=ON -DTARVOK_BUILD_TESTS=OFF -DTARVOK_BUILD_BENCH=OFF
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/aarch64-linux-gnu)
# Linked fully static (C library and C++ runtime included), so the binary also
# runs on boards whose system is older than this compiler's (Raspberry Pi OS and
# Ubuntu releases with an older glibc).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
