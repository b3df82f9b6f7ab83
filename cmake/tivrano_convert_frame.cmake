# Converts one frame at build time, for tivrano_add_frames:
#   cmake -DTOOL=tivrano -DBMP=in.bmp -DNAME=frame -DTEXT=frame.inc -DSOURCE=frame.c
#         -DHEADER=frames.h -P tivrano_convert_frame.cmake
# TEXT receives the tool's text unchanged; SOURCE includes it under the frame's own name and
# defines NAME_size, NAME_width and NAME_height. Both are written under other names first and
# renamed into place only when all went well: a failed run leaves neither behind, so the next
# build does not take the frame for done.
file(REMOVE "${TEXT}" "${SOURCE}")
execute_process(
    COMMAND "${TOOL}" "${BMP}"
    OUTPUT_FILE "${TEXT}.tmp"
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    # The tool has said why on standard error; its one-line message stands in the text.
    file(READ "${TEXT}.tmp" message)
    file(REMOVE "${TEXT}.tmp")
    string(STRIP "${message}" message)
    message(FATAL_ERROR "tivrano could not convert ${BMP}: ${message} (status ${status})")
endif()

file(STRINGS "${TEXT}.tmp" dimensions LIMIT_COUNT 4 REGEX "^Breite: ")
if(NOT dimensions MATCHES "^Breite: (-?[0-9]+), Hoehe: (-?[0-9]+)")
    file(REMOVE "${TEXT}.tmp")
    message(FATAL_ERROR "tivrano wrote no dimensions for ${BMP}")
endif()
set(width ${CMAKE_MATCH_1})
set(height ${CMAKE_MATCH_2})
get_filename_component(text_name "${TEXT}" NAME)
get_filename_component(bmp_name "${BMP}" NAME)
file(WRITE "${SOURCE}.tmp"
"/* Frame ${NAME}, converted by tivrano from ${bmp_name}. Generated; do not edit. */
#include <stddef.h>
#include <stdint.h>

#include \"${HEADER}\"

#define animationX ${NAME}
#include \"${text_name}\"
#undef animationX

const size_t ${NAME}_size = sizeof ${NAME};
const int32_t ${NAME}_width = ${width};
const int32_t ${NAME}_height = ${height};
")
file(RENAME "${TEXT}.tmp" "${TEXT}")
file(RENAME "${SOURCE}.tmp" "${SOURCE}")
