# Puts the page's script, web/page.js, into its HTML where page.html loads it, so that the page
# Emscripten writes stays one file:
#   cmake -DHTML=page.html -DSCRIPT=page.js -DOUT=shell.html -P inline_script.cmake
# OUT is written whole or not at all.
file(READ "${HTML}" html)
file(READ "${SCRIPT}" script)
set(marker "<script src=\"page.js\"></script>")
string(FIND "${html}" "${marker}" at)
if(at EQUAL -1)
    message(FATAL_ERROR "${HTML} does not load page.js with ${marker}")
endif()
string(REPLACE "${marker}" "<script>\n${script}</script>" html "${html}")
file(WRITE "${OUT}.part" "${html}")
file(RENAME "${OUT}.part" "${OUT}")
