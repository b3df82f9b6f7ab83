# Cross build for Linux on another processor with Debian's cross compilers; what it builds runs
# here under user-mode QEMU (Debian: qemu-user), as CMAKE_CROSSCOMPILING_EMULATOR.
#   cmake --preset linux-aarch64 (or linux-armhf, linux-s390x), or
#   cmake -S . -B build-aarch64 --toolchain cmake/linux-cross.cmake -DTIVRANO_TRIPLET=aarch64-linux-gnu
# TIVRANO_TRIPLET is one of aarch64-linux-gnu (g++-aarch64-linux-gnu), arm-linux-gnueabihf
# (g++-arm-linux-gnueabihf) and s390x-linux-gnu (g++-s390x-linux-gnu).
set(CMAKE_SYSTEM_NAME Linux)
if(NOT TIVRANO_TRIPLET)
    message(FATAL_ERROR "set TIVRANO_TRIPLET, such as aarch64-linux-gnu")
endif()
# The checks CMake compiles while configuring read this file too, and need the triplet.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TIVRANO_TRIPLET)
string(REGEX MATCH "^[^-]+" CMAKE_SYSTEM_PROCESSOR "${TIVRANO_TRIPLET}")
# QEMU's name for the processor: qemu-aarch64, qemu-arm, qemu-s390x.
string(REGEX REPLACE "^arm.*" "arm" qemu_processor "${CMAKE_SYSTEM_PROCESSOR}")

set(CMAKE_C_COMPILER ${TIVRANO_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${TIVRANO_TRIPLET}-g++)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${qemu_processor} -L /usr/${TIVRANO_TRIPLET})

# Libraries and headers come from the cross sysroot only; programs run at build time from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TIVRANO_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
