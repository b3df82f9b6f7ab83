# Puts the page's scripts, each <script src="NAME.js"></script> of its HTML, into the HTML from
# the folder beside it, so that the page Emscripten writes stays one file:
#   cmake -DHTML=web/page.html -DOUT=shell.html -P inline_script.cmake
# OUT is written whole or not at all.
file(READ "${HTML}" html)
get_filename_component(dir "${HTML}" DIRECTORY)
string(REGEX MATCHALL "<script src=\"[a-z_]+\\.js\"></script>" markers "${html}")
if(NOT markers)
    message(FATAL_ERROR "${HTML} loads no script with <script src=\"NAME.js\"></script>")
endif()
foreach(marker IN LISTS markers)
    string(REGEX REPLACE "<script src=\"([a-z_]+\\.js)\"></script>" "\\1" name "${marker}")
    file(READ "${dir}/${name}" script)
    string(REPLACE "${marker}" "<script>\n${script}</script>" html "${html}")
endforeach()
file(WRITE "${OUT}.part" "${html}")
file(RENAME "${OUT}.part" "${OUT}")
