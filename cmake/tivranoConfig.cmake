# find_package(tivrano) gives the converter as the imported target tivrano::tivrano, and the
# function tivrano_add_frames, which converts BMP frames into C sources at build time (its
# signature is at the top of tivranoFunctions.cmake).
include("${CMAKE_CURRENT_LIST_DIR}/tivranoTargets.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/tivranoFunctions.cmake")
