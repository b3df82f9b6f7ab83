# Firmware for an AVR microcontroller with Debian's gcc-avr, binutils-avr and avr-libc (simavr
# runs it here). Installed with the CMake package, beside tivranoConfig.cmake:
#   cmake -S . -B build-avr --toolchain /usr/local/lib/cmake/tivrano/avr-gcc.cmake
# AVR_MCU is the chip (avr-gcc -mmcu), atmega328p by default, as on an Arduino Uno or Nano;
# AVR_F_CPU its clock in hertz, 16000000 by default, which <util/delay.h> takes as F_CPU.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR avr)
set(AVR_MCU atmega328p CACHE STRING "The AVR the firmware is for (avr-gcc -mmcu)")
set(AVR_F_CPU 16000000 CACHE STRING "The AVR's clock in hertz (F_CPU)")
# The checks CMake compiles while configuring read this file too, and need the chip.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES AVR_MCU AVR_F_CPU)

set(CMAKE_C_COMPILER avr-gcc)
set(CMAKE_CXX_COMPILER avr-g++)
# Small code, and whatever the program never reads left out of flash and RAM.
set(flags "-mmcu=${AVR_MCU} -DF_CPU=${AVR_F_CPU}UL -Os -ffunction-sections -fdata-sections")
set(CMAKE_C_FLAGS_INIT "${flags}")
set(CMAKE_CXX_FLAGS_INIT "${flags}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-mmcu=${AVR_MCU} -Wl,--gc-sections")

# Libraries and headers come from avr-libc only; programs run at build time from the host.
set(CMAKE_FIND_ROOT_PATH /usr/lib/avr)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
