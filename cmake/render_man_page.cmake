# Renders the man page as plain text, for a platform without man:
#   cmake -DGROFF=groff -DPAGE=tivrano.1 -DTEXT=tivrano.txt -P render_man_page.cmake
# The text is written under another name first, so that a failed run leaves none behind.
execute_process(
    COMMAND "${GROFF}" -man -Tascii -P-c -P-b -P-o -P-u "${PAGE}"
    OUTPUT_FILE "${TEXT}.tmp"
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE "${TEXT}.tmp")
    message(FATAL_ERROR "groff could not render ${PAGE}: ${status}")
endif()
file(RENAME "${TEXT}.tmp" "${TEXT}")
