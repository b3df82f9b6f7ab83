# Removes what `cmake --install` put in this prefix, and nothing else:
#   cmake -P <prefix>/share/tivrano/uninstall.cmake
# The files are those listed beside this script, written by that install, each relative to the
# prefix; a package manager's files elsewhere, and an install_manifest.txt that a later cpack
# run rewrote in the build folder, play no part.
cmake_minimum_required(VERSION 3.20)
get_filename_component(prefix "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
set(manifest "${CMAKE_CURRENT_LIST_DIR}/install_manifest.txt")
if(NOT EXISTS "${manifest}")
    message(FATAL_ERROR "no ${manifest}: nothing is known to be installed here")
endif()
file(STRINGS "${manifest}" files)
# Every line is checked before anything is removed.
foreach(file IN LISTS files)
    if(IS_ABSOLUTE "${file}" OR file MATCHES "(^|/)\\.\\.(/|$)")
        message(FATAL_ERROR "${manifest}: ${file} lies outside ${prefix}; nothing removed")
    endif()
endforeach()
foreach(file IN LISTS files)
    if(EXISTS "${prefix}/${file}" OR IS_SYMLINK "${prefix}/${file}")
        file(REMOVE "${prefix}/${file}")
        message(STATUS "Removed ${prefix}/${file}")
    endif()
endforeach()
# The folders of the tool's own (those named tivrano and the folders in them) that held a
# listed file, deepest first, once empty.
set(folders)
foreach(file IN LISTS files)
    get_filename_component(folder "${file}" DIRECTORY)
    while(folder MATCHES "(^|/)tivrano(/|$)")
        list(APPEND folders "${folder}")
        get_filename_component(folder "${folder}" DIRECTORY)
    endwhile()
endforeach()
list(REMOVE_DUPLICATES folders)
list(SORT folders ORDER DESCENDING)
foreach(folder IN LISTS folders)
    file(GLOB left "${prefix}/${folder}/*")
    if(IS_DIRECTORY "${prefix}/${folder}" AND NOT left)
        file(REMOVE_RECURSE "${prefix}/${folder}")
    endif()
endforeach()
