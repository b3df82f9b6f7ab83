# find_package(tivrano) gives the converter as the imported target tivrano::tivrano, and the
# functions tivrano_add_frames, which converts BMP, PNG and GIF frames into C sources at build
# time, and tivrano_add_animation, which does so for an animated GIF or PNG frames, as arrays
# or packed (their signatures are at the top of tivranoFunctions.cmake). avr-gcc.cmake beside
# this file is a toolchain file for AVR firmware.
include("${CMAKE_CURRENT_LIST_DIR}/tivranoTargets.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/tivranoFunctions.cmake")
