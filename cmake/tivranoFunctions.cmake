# tivrano_add_frames(<target> FRAMES <bmp>... [NAMES <ident>...] [HEADER <file.h>]
#                    [TABLE <ident>] [OUTPUT_DIR <dir>]
#                    [ORDER <order>] [START <corner>] [COLUMNS] [SERPENTINE] [PROGMEM]
#                    [GAMMA <g>|<r,g,b>] [BRIGHTNESS <percent>] [MAX_CURRENT_MA <ma>]
#                    [LED_CURRENT <r,g,b,idle>] [ALLOW_WARNINGS])
#
# Converts each BMP frame with tivrano at build time and adds the result to <target>, where it
# compiles with the target's own flags (a cross-compiler's too). For a frame named NAME:
#
#   const uint8_t NAME[];            the tool's array, pixels as green, red, blue, top row first
#   const size_t NAME_size;          the bytes in NAME
#   const int32_t NAME_width, NAME_height;   as the file's header holds them
#
# FRAMES      the BMP files; relative paths are taken from CMAKE_CURRENT_SOURCE_DIR.
# NAMES       one C identifier a frame, unique across the build; by default each file's name
#             without its last extension, made an identifier ("walk-1.bmp" and "walk.1.bmp" are
#             walk_1). Keywords of C and C++, the names of <stdint.h> and <stddef.h>, main and
#             reserved names are refused.
# HEADER      declares everything above, with extern "C" for C++; <target>_frames.h by default,
#             in OUTPUT_DIR unless absolute. Its folder is put on <target>'s include path.
# TABLE       also defines `const uint8_t *const TABLE[]` (the frames, in FRAMES order) and
#             `const size_t TABLE_count`.
# OUTPUT_DIR  where the generated files go; ${CMAKE_CURRENT_BINARY_DIR}/tivrano_<target> by
#             default.
# ORDER       the values of each pixel in this order (tivrano --order): grb (the default), rgb,
#             brg, bgr, rbg or gbr.
# START, COLUMNS, SERPENTINE
#             the LED wiring (tivrano --start, --columns, --serpentine): the corner of the
#             first LED (top-left, the default, top-right, bottom-left or bottom-right), a strip
#             along columns, every second line the other way.
# PROGMEM     on an AVR the frames, and the TABLE, go to flash memory: read a frame's bytes
#             with pgm_read_byte, and the table's entries with pgm_read_ptr.
# GAMMA, BRIGHTNESS, MAX_CURRENT_MA, LED_CURRENT
#             the colours (tivrano --gamma, --brightness, --max-current, --led-current): a
#             gamma from 0.1 to 5.0, or three for red, green and blue; a whole percent from 1
#             to 100; a limit in milliamperes; the model's milliamperes at full red, green and
#             blue and for a dark LED. Each frame of tivrano_add_frames is scaled on its own.
# ALLOW_WARNINGS
#             converts a frame that tivrano converts only with a warning (not a plain 24-bit
#             BMP, top-down, no pixels); without it, such a frame stops the build.
#
# A frame is converted again when its BMP, the tool or this package changes, and only then. A
# refused frame stops the build with the tool's message and reasons and writes no output, so
# the next build stops the same way. The converter runs on the build machine: the cache
# variable TIVRANO_EXECUTABLE names it; otherwise it is tivrano::tivrano, or, when
# cross-compiling, a tivrano found among the build machine's programs.
#
# tivrano_add_animation(<target> NAME <ident> SOURCE <file.gif> | SOURCE <png>...
#                       [HEADER <file.h>] [BACKGROUND <colour>] [DELAY_MS <ms>]
#                       [PACKED [MAX_BYTES <n>]] [OUTPUT_DIR <dir>] [ORDER <order>]
#                       [START <corner>] [COLUMNS] [SERPENTINE] [PROGMEM] [GAMMA ...]
#                       [BRIGHTNESS ...] [MAX_CURRENT_MA ...] [LED_CURRENT ...])
#
# Adds an animation as a pixel editor wrote it, an animated GIF or PNG frames, to <target>:
#
#   const uint8_t NAME_0[] ... NAME_<n-1>[]   each frame, with _size, _width and _height;
#                                             a frame like an earlier one is that one
#   const uint8_t *const NAME[];              the frames in order
#   const size_t NAME_count;                  n
#   const int32_t NAME_width, NAME_height;    the size of every frame
#   const uint16_t NAME_delay_ms[];           how long each frame is shown, in milliseconds
#
# or with PACKED, `const struct tivrano_animation NAME`, stored packed, which tivrano_player.h
# plays (it is put on <target>'s include path); on an AVR it is in flash memory.
#
# SOURCE      one GIF, or PNG files of one size; relative paths are taken from
#             CMAKE_CURRENT_SOURCE_DIR. The GIF's frames are taken whole, as a browser shows
#             them (its partial updates and disposal applied, what no frame covered yet
#             transparent), with its delays. PNGs are taken in the order given, except that a
#             list in plain text order, as file(GLOB) gives it, is put in the order of the
#             numbers in the names: f9 before f10.
# HEADER      declares everything above; NAME.h by default, in OUTPUT_DIR unless absolute.
# BACKGROUND  what transparent pixels are laid on: an ImageMagick colour (black, #102030,
#             rgb(16,32,48)); black, an unlit LED, by default.
# DELAY_MS    each PNG frame's delay, 0 to 65535; 100 by default. A GIF has its own.
# PACKED      stores the frames packed (tivrano --pack); MAX_BYTES stops the build if they
#             take more than that many bytes.
# OUTPUT_DIR, ORDER, START, COLUMNS, SERPENTINE, PROGMEM, GAMMA, BRIGHTNESS, LED_CURRENT
#             as for tivrano_add_frames; with PROGMEM, NAME[] and NAME_delay_ms[] are in flash
#             memory too: read them with pgm_read_ptr and pgm_read_word.
# MAX_CURRENT_MA
#             as for tivrano_add_frames, with one factor for every frame, the one the brightest
#             needs, so that the frames keep their brightness to each other.
#
# ImageMagick splits the animation at configure time into plain 24-bit BMPs in OUTPUT_DIR, and
# at build time tivrano converts them in one call into the source and the header. The sources
# are configure dependencies: editing one re-runs the configure on the next build, and the
# animation is converted again when a frame changed. ImageMagick runs on the build machine; the
# cache variable TIVRANO_IMAGEMAGICK names its magick (7) or convert (6) outright.
include_guard(GLOBAL)
if(CMAKE_VERSION VERSION_LESS 3.18)
    message(FATAL_ERROR "tivrano_add_frames and tivrano_add_animation need CMake 3.18 or later")
endif()

# tivrano_player.h: beside the installed package, or in the source tree.
foreach(_tivrano_dir "${CMAKE_CURRENT_LIST_DIR}/../../../include" "${CMAKE_CURRENT_LIST_DIR}/../include")
    if(EXISTS "${_tivrano_dir}/tivrano_player.h")
        get_filename_component(_tivrano_dir "${_tivrano_dir}" ABSOLUTE)
        set_property(GLOBAL PROPERTY TIVRANO_PLAYER_DIR "${_tivrano_dir}")
        break()
    endif()
endforeach()

function(tivrano_add_frames target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "COLUMNS;SERPENTINE;PROGMEM;ALLOW_WARNINGS"
        "ORDER;START;GAMMA;BRIGHTNESS;MAX_CURRENT_MA;LED_CURRENT;HEADER;TABLE;OUTPUT_DIR"
        "FRAMES;NAMES")
    set(caller "tivrano_add_frames(${target})")
    _tivrano_check_call("${caller}" "${target}" "${arg_UNPARSED_ARGUMENTS}")
    if(NOT arg_FRAMES)
        message(FATAL_ERROR "${caller}: no FRAMES given")
    endif()
    _tivrano_tool_options(options "${caller}" arg)
    if(NOT arg_ALLOW_WARNINGS)
        list(APPEND options --strict)
    endif()

    set(names ${arg_NAMES})
    if(NOT names)
        foreach(frame IN LISTS arg_FRAMES)
            get_filename_component(stem "${frame}" NAME_WLE)
            string(MAKE_C_IDENTIFIER "${stem}" name)
            _tivrano_identifier_problem(problem "${name}")
            if(problem)
                message(FATAL_ERROR "${caller}: the file name of ${frame} makes the C name "
                    "\"${name}\", which ${problem}; give the frame a name with NAMES")
            endif()
            list(APPEND names ${name})
        endforeach()
    endif()
    list(LENGTH arg_FRAMES frame_count)
    list(LENGTH names name_count)
    if(NOT frame_count EQUAL name_count)
        message(FATAL_ERROR "${caller}: ${frame_count} FRAMES but "
            "${name_count} NAMES; give one name a frame")
    endif()

    set(absolute)
    foreach(frame IN LISTS arg_FRAMES)
        get_filename_component(bmp "${frame}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        list(APPEND absolute "${bmp}")
    endforeach()

    # Every identifier the frames define, checked before anything is generated, each with
    # where it comes from.
    foreach(frame name IN ZIP_LISTS arg_FRAMES names)
        _tivrano_identifier_problem(problem "${name}")
        if(problem)
            message(FATAL_ERROR "${caller}: the name \"${name}\" of frame ${frame} ${problem}; "
                "name it with NAMES")
        endif()
        foreach(identifier ${name} ${name}_size ${name}_width ${name}_height)
            _tivrano_claim_identifier("${caller}" "${identifier}" "${frame}")
        endforeach()
    endforeach()
    if(arg_TABLE)
        _tivrano_identifier_problem(problem "${arg_TABLE}")
        if(problem)
            message(FATAL_ERROR "${caller}: the TABLE name \"${arg_TABLE}\" ${problem}")
        endif()
        foreach(identifier ${arg_TABLE} ${arg_TABLE}_count)
            _tivrano_claim_identifier("${caller}" "${identifier}" "its TABLE")
        endforeach()
    endif()
    _tivrano_places("${caller}" "${target}" "${arg_OUTPUT_DIR}" "${arg_HEADER}"
        "${target}_frames.h")

    _tivrano_converter(tool tool_depends)
    set(declarations)
    set(sources)
    file(MAKE_DIRECTORY "${output_dir}")
    foreach(bmp frame name IN ZIP_LISTS absolute arg_FRAMES names)
        set(source "${output_dir}/${name}.${extension}")
        # The tool writes the source whole or not at all, and leaves it as it was when it
        # refuses the frame: older than the frame, so the next build tries again.
        add_custom_command(
            OUTPUT "${source}"
            COMMAND "${tool}" ${options} "--name=${name}" -o "${source}" "${bmp}"
            DEPENDS "${bmp}" ${tool_depends}
            COMMENT "tivrano: converting ${frame} into ${name}"
            VERBATIM)
        list(APPEND sources "${source}")
        string(APPEND declarations
            "extern const uint8_t ${name}[];\n"
            "extern const size_t ${name}_size;\n"
            "extern const int32_t ${name}_width, ${name}_height;\n")
    endforeach()

    set(where "")
    if(arg_TABLE)
        set(table_source "${output_dir}/${arg_TABLE}.${extension}")
        _tivrano_progmem("${arg_PROGMEM}" prologue placement)
        list(JOIN names ", " members)
        file(CONFIGURE OUTPUT "${table_source}" CONTENT
"/* Generated by tivrano_add_frames; do not edit. */
#include \"${header_include}\"
${prologue}
const uint8_t *const ${arg_TABLE}[]${placement} = {${members}};
const size_t ${arg_TABLE}_count = sizeof ${arg_TABLE} / sizeof ${arg_TABLE}[0];
")
        list(APPEND sources "${table_source}")
        string(APPEND declarations
            "\n/* The frames in the order given. */\n"
            "extern const uint8_t *const ${arg_TABLE}[];\n"
            "extern const size_t ${arg_TABLE}_count;\n")
    endif()
    if(arg_PROGMEM AND arg_TABLE)
        set(where " On an AVR the frames and the table are in flash memory: read a frame's
   bytes with pgm_read_byte, and the table's entries with pgm_read_ptr.")
    elseif(arg_PROGMEM)
        set(where " On an AVR the frames are in flash memory: read them with pgm_read_byte.")
    endif()
    _tivrano_write_header("${header}" "${header_include}"
        "Frames converted by tivrano for ${target}.${where} Generated by tivrano_add_frames; do
   not edit." "" "${declarations}")
    target_sources(${target} PRIVATE ${sources})
    target_include_directories(${target} PUBLIC "${include_dir}")
endfunction()

function(tivrano_add_animation target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "COLUMNS;SERPENTINE;PROGMEM;PACKED"
        "ORDER;START;GAMMA;BRIGHTNESS;MAX_CURRENT_MA;LED_CURRENT;NAME;HEADER;BACKGROUND;DELAY_MS;MAX_BYTES;OUTPUT_DIR"
        "SOURCE")
    set(caller "tivrano_add_animation(${target})")
    _tivrano_check_call("${caller}" "${target}" "${arg_UNPARSED_ARGUMENTS}")
    if(NOT arg_NAME)
        message(FATAL_ERROR "${caller}: give the animation a NAME")
    endif()
    if(NOT arg_SOURCE)
        message(FATAL_ERROR "${caller}: SOURCE names no file; give it a GIF or PNG frames (a "
            "glob that matched nothing gives none)")
    endif()
    set(name "${arg_NAME}")
    _tivrano_identifier_problem(problem "${name}")
    if(problem)
        message(FATAL_ERROR "${caller}: the NAME \"${name}\" ${problem}; choose another NAME")
    endif()
    get_property(owner GLOBAL PROPERTY "TIVRANO_IDENTIFIER_${name}")
    if(owner)
        message(FATAL_ERROR "${caller}: the NAME ${name} is taken by ${owner}; choose another "
            "NAME")
    endif()
    _tivrano_tool_options(options "${caller}" arg)
    list(APPEND options --strict "--name=${name}")
    if(arg_PACKED)
        list(APPEND options --pack)
    endif()
    if(DEFINED arg_MAX_BYTES)
        if(NOT arg_PACKED OR NOT arg_MAX_BYTES MATCHES "^[1-9][0-9]*$")
            message(FATAL_ERROR "${caller}: MAX_BYTES is a whole number of bytes, 1 or more, "
                "for a PACKED animation")
        endif()
        list(APPEND options "--max-bytes=${arg_MAX_BYTES}")
    endif()

    _tivrano_animation_sources("${caller}" sources origin is_gif ${arg_SOURCE})
    set(delay_ms "${arg_DELAY_MS}")
    if(is_gif AND NOT delay_ms STREQUAL "")
        message(FATAL_ERROR "${caller}: DELAY_MS is for PNG frames; the GIF ${origin} holds its "
            "own delays")
    elseif(delay_ms STREQUAL "")
        set(delay_ms 100)
    elseif(NOT delay_ms MATCHES "^[0-9]+$" OR delay_ms GREATER 65535)
        message(FATAL_ERROR "${caller}: DELAY_MS ${delay_ms} is not a whole number of "
            "milliseconds from 0 to 65535")
    endif()
    set(background black)
    if(arg_BACKGROUND)
        set(background "${arg_BACKGROUND}")
    endif()

    _tivrano_places("${caller}" "${target}" "${arg_OUTPUT_DIR}" "${arg_HEADER}" "${name}.h")
    set(source "${output_dir}/${name}.${extension}")
    _tivrano_split_animation("${caller}" "${name}" "${origin}" "${is_gif}" "${background}"
        "${delay_ms}" "${output_dir}" "${header};${source}" ${sources})
    list(LENGTH frames frame_count)
    set(defined ${name})
    if(NOT arg_PACKED)
        list(APPEND defined ${name}_count ${name}_width ${name}_height ${name}_delay_ms)
        math(EXPR last "${frame_count} - 1")
        foreach(k RANGE ${last})
            list(APPEND defined ${name}_${k} ${name}_${k}_size ${name}_${k}_width
                ${name}_${k}_height)
        endforeach()
    endif()
    foreach(identifier IN LISTS defined)
        _tivrano_claim_identifier("${caller}" "${identifier}" "the animation of ${origin}")
    endforeach()

    list(JOIN delays "," delay_list)
    _tivrano_converter(tool tool_depends)
    # The tool writes both files whole or not at all, and leaves them as they were when it
    # refuses the animation, so that the next build tries again.
    add_custom_command(
        OUTPUT "${source}" "${header}"
        COMMAND "${tool}" ${options} "--delay-ms=${delay_list}" "--header=${header}" -o
            "${source}" ${frames}
        DEPENDS ${frames} ${tool_depends}
        COMMENT "tivrano: converting the ${frame_count} frames of ${origin} into ${name}"
        VERBATIM)
    target_sources(${target} PRIVATE "${source}" "${header}")
    target_include_directories(${target} PUBLIC "${include_dir}")
    if(arg_PACKED)
        get_property(player GLOBAL PROPERTY TIVRANO_PLAYER_DIR)
        target_include_directories(${target} PUBLIC "${player}")
    endif()
endfunction()


# The tool's options for the layout keywords parsed with `prefix`, which are checked here, so
# that a typo stops the configure and not every frame's conversion.
function(_tivrano_tool_options out_var caller prefix)
    set(options)
    set(order "${${prefix}_ORDER}")
    if(NOT order STREQUAL "")
        string(TOLOWER "${order}" lower)
        if(NOT lower MATCHES "^(grb|rgb|brg|bgr|rbg|gbr)$")
            message(FATAL_ERROR "${caller}: ORDER ${order} is not an order of the three "
                "channels: grb, rgb, brg, bgr, rbg or gbr")
        endif()
        list(APPEND options "--order=${order}")
    endif()
    set(start "${${prefix}_START}")
    if(NOT start STREQUAL "")
        if(NOT start MATCHES "^(top|bottom)-(left|right)$")
            message(FATAL_ERROR "${caller}: START ${start} is not a corner: top-left, "
                "top-right, bottom-left or bottom-right")
        endif()
        list(APPEND options "--start=${start}")
    endif()
    set(number "[0-9]+([.][0-9]?[0-9]?[0-9]?)?")
    _tivrano_check_value("${caller}" GAMMA "${${prefix}_GAMMA}"
        "^${number}(,${number},${number})?$" 0.1 5
        "a number from 0.1 to 5.0, or three of them for red, green and blue: 2.8 or 2.6,2.2,2.5")
    _tivrano_check_value("${caller}" BRIGHTNESS "${${prefix}_BRIGHTNESS}" "^[0-9]+%?$" 1 100
        "a whole percent from 1 to 100")
    _tivrano_check_value("${caller}" MAX_CURRENT_MA "${${prefix}_MAX_CURRENT_MA}" "^[0-9]+$" 1
        100000000 "a whole number of milliamperes, 1 or more")
    _tivrano_check_value("${caller}" LED_CURRENT "${${prefix}_LED_CURRENT}"
        "^${number},${number},${number},${number}$" 0 10000
        "four numbers of milliamperes up to 10000, for red, green and blue at full and a dark LED: 16,11,15,1")
    set(keywords GAMMA BRIGHTNESS MAX_CURRENT_MA LED_CURRENT)
    set(names gamma brightness max-current led-current)
    foreach(keyword option IN ZIP_LISTS keywords names)
        if(NOT "${${prefix}_${keyword}}" STREQUAL "")
            list(APPEND options "--${option}=${${prefix}_${keyword}}")
        endif()
    endforeach()
    foreach(flag COLUMNS SERPENTINE PROGMEM)
        if(${prefix}_${flag})
            string(TOLOWER "--${flag}" option)
            list(APPEND options ${option})
        endif()
    endforeach()
    set(${out_var} ${options} PARENT_SCOPE)
endfunction()


# Stops the configure, naming the call, unless `value` is empty or matches `pattern` with every
# number in it from `least` to `most`.
function(_tivrano_check_value caller keyword value pattern least most what)
    if(value STREQUAL "")
        return()
    endif()
    string(REPLACE "," ";" numbers "${value}")
    string(REPLACE "%" "" numbers "${numbers}")
    set(fits TRUE)
    foreach(number IN LISTS numbers)
        if(number LESS least OR number GREATER most)
            set(fits FALSE)
        endif()
    endforeach()
    if(NOT fits OR NOT value MATCHES "${pattern}")
        message(FATAL_ERROR "${caller}: ${keyword} ${value} is not ${what}")
    endif()
endfunction()

# The animation's sources as absolute paths in the order they are taken, checked: one GIF, or
# PNG files. `origin` says where the frames come from, for messages.
function(_tivrano_animation_sources caller sources_var origin_var is_gif_var)
    set(sources)
    foreach(source IN LISTS ARGN)
        get_filename_component(path "${source}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        if(NOT EXISTS "${path}" OR IS_DIRECTORY "${path}")
            message(FATAL_ERROR "${caller}: the SOURCE ${source} is not a file")
        endif()
        get_filename_component(suffix "${source}" LAST_EXT)
        string(TOLOWER "${suffix}" suffix)
        list(APPEND suffixes "${suffix}")
        list(APPEND sources "${path}")
    endforeach()
    list(LENGTH sources count)
    list(GET ARGN 0 first)
    if(".gif" IN_LIST suffixes)
        if(count GREATER 1)
            message(FATAL_ERROR "${caller}: SOURCE takes one GIF, or PNG frames; ${count} files "
                "were given with ${first}")
        endif()
        set(origin "${first}")
        set(is_gif TRUE)
    else()
        foreach(source suffix IN ZIP_LISTS sources suffixes)
            if(NOT suffix STREQUAL ".png")
                message(FATAL_ERROR "${caller}: the SOURCE ${source} is neither a GIF nor a PNG")
            endif()
        endforeach()
        # A list in plain text order is a glob's, with f10 before f9: put it in the order of
        # the numbers in the names. Any other order is the caller's own.
        set(text_order ${sources})
        list(SORT text_order)
        if(text_order STREQUAL sources)
            list(SORT sources COMPARE NATURAL)
        endif()
        list(GET sources 0 first)
        set(origin "${count} PNG files, ${first} first")
        set(is_gif FALSE)
    endif()
    set(${sources_var} ${sources} PARENT_SCOPE)
    set(${origin_var} "${origin}" PARENT_SCOPE)
    set(${is_gif_var} ${is_gif} PARENT_SCOPE)
endfunction()

# Splits the animation into plain 24-bit BMPs in `output_dir`/NAME_frames, NAME_0.bmp on, with
# ImageMagick, and sets in the caller `frames` (their paths), `width`, `height` and `delays`
# (milliseconds: the GIF's, or `delay_ms` each). The split goes to a folder of its own, and the
# frames folder gets only what changed, so that an unchanged frame keeps its time and is not
# converted again. A failed split leaves neither folder, nor the files in `generated` or those
# of an earlier split.
function(_tivrano_split_animation caller name origin is_gif background delay_ms output_dir
        generated)
    set(sources ${ARGN})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${sources})
    _tivrano_imagemagick("${caller}" magick)
    if(NOT background STREQUAL "black")
        # ImageMagick only warns about a colour it does not know, and lays the pixels on white.
        execute_process(COMMAND "${magick}" -size 1x1 "xc:${background}" info:
            RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "${caller}: BACKGROUND ${background} is not a colour "
                "ImageMagick knows, such as black, #102030 or rgb(16,32,48)")
        endif()
    endif()
    set(frames_dir "${output_dir}/${name}_frames")
    set(split_dir "${output_dir}/${name}_split")
    set(made "${frames_dir}" "${split_dir}" ${generated})
    file(REMOVE_RECURSE "${split_dir}")
    file(MAKE_DIRECTORY "${split_dir}")
    # A GIF's frames as a browser shows them: updates and disposal applied, and what no frame
    # has covered yet transparent, not the GIF's background colour.
    set(whole)
    if(is_gif)
        set(whole -set background none -coalesce)
    endif()
    execute_process(
        COMMAND "${magick}" ${sources} ${whole} -background "${background}" -alpha remove
            -alpha off +repage -depth 8 -type TrueColor -format "%w %h %T\\n" -identify +adjoin
            "BMP3:${split_dir}/frame_%d.bmp"
        RESULT_VARIABLE status OUTPUT_VARIABLE described ERROR_VARIABLE complaints)
    string(STRIP "${complaints}" complaints)
    file(GLOB split "${split_dir}/frame_*.bmp")
    list(SORT split COMPARE NATURAL)
    string(REGEX MATCHALL "[^\n]+" described "${described}")
    list(LENGTH split frame_count)
    list(LENGTH described described_count)
    list(LENGTH sources source_count)
    set(problem)
    if(NOT status EQUAL 0)
        set(problem "status ${status}")
    elseif(frame_count EQUAL 0 OR NOT frame_count EQUAL described_count)
        set(problem "${frame_count} frames written, ${described_count} described")
    elseif(NOT is_gif AND NOT frame_count EQUAL source_count)
        set(problem "${frame_count} frames from ${source_count} PNG files")
    endif()
    if(problem)
        file(REMOVE_RECURSE ${made})
        message(FATAL_ERROR "${caller}: ImageMagick (${magick}) could not split ${origin} "
            "into frames (${problem}); it says:\n${complaints}")
    endif()
    if(complaints)
        message(WARNING "${caller}: ImageMagick, reading ${origin}, says:\n${complaints}")
    endif()

    # Every frame has the animation's size, one the tool reads, and a delay that fits a
    # uint16_t.
    set(delays)
    math(EXPR last "${frame_count} - 1")
    foreach(k RANGE ${last})
        list(GET described ${k} description)
        separate_arguments(description UNIX_COMMAND "${description}")
        list(GET description 0 frame_width)
        list(GET description 1 frame_height)
        set(source "frame ${k} of ${origin}")
        if(NOT is_gif)
            list(GET sources ${k} source)
        endif()
        math(EXPR bmp_size "54 + (${frame_width} * 3 + 3) / 4 * 4 * ${frame_height}")
        if(k EQUAL 0)
            set(width ${frame_width})
            set(height ${frame_height})
        endif()
        if(NOT frame_width EQUAL width OR NOT frame_height EQUAL height)
            set(problem "${source} is ${frame_width} x ${frame_height} pixels, the frames "
                "before it ${width} x ${height}; every frame needs the same size")
        elseif(bmp_size GREATER 1000000)
            set(problem "${source} is ${width} x ${height} pixels, a BMP of ${bmp_size} "
                "bytes, more than the 1000000 tivrano reads; scale the animation down")
        elseif(is_gif)
            # GIF delays are in hundredths of a second.
            list(GET description 2 ticks)
            math(EXPR delay_ms "${ticks} * 10")
            if(delay_ms GREATER 65535)
                set(problem "${source} is shown for ${delay_ms} ms, more than the 65535 that "
                    "${name}_delay_ms (uint16_t) holds")
            endif()
        endif()
        if(problem)
            file(REMOVE_RECURSE ${made})
            string(CONCAT problem ${problem})
            message(FATAL_ERROR "${caller}: ${problem}")
        endif()
        list(APPEND delays ${delay_ms})
    endforeach()

    set(frames)
    file(MAKE_DIRECTORY "${frames_dir}")
    foreach(k RANGE ${last})
        list(GET split ${k} new)
        set(frame "${frames_dir}/${name}_${k}.bmp")
        _tivrano_replace_if_different("${new}" "${frame}")
        list(APPEND frames "${frame}")
    endforeach()
    # What is left there is from an animation with more frames.
    file(GLOB stale "${frames_dir}/*")
    list(REMOVE_ITEM stale ${frames})
    file(REMOVE_RECURSE "${split_dir}" ${stale})
    foreach(variable frames width height delays)
        set(${variable} "${${variable}}" PARENT_SCOPE)
    endforeach()
endfunction()

# Writes a header that declares `declarations` with C linkage, under an include guard made from
# `include`, the name it is included by, after the <stddef.h> and <stdint.h> it needs and
# `includes`, with `comment` at its top.
function(_tivrano_write_header header include comment includes declarations)
    string(MAKE_C_IDENTIFIER "${include}" guard)
    string(TOUPPER "${guard}_INCLUDED" guard)
    file(CONFIGURE OUTPUT "${header}" CONTENT
"/* ${comment} */
#ifndef ${guard}
#define ${guard}

#include <stddef.h>
#include <stdint.h>
${includes}
#ifdef __cplusplus
extern \"C\" {
#endif

${declarations}
#ifdef __cplusplus
}
#endif

#endif
")
endfunction()

# What a table in flash needs with `progmem`: the lines that define PROGMEM (as the tool writes
# them into a frame) and the word that places an array there; nothing without.
function(_tivrano_progmem progmem prologue_var placement_var)
    set(prologue "")
    set(placement "")
    if(progmem)
        set(prologue "#ifdef __AVR__
#include <avr/pgmspace.h>
#endif
#ifndef PROGMEM
#define PROGMEM
#endif
")
        set(placement " PROGMEM")
    endif()
    set(${prologue_var} "${prologue}" PARENT_SCOPE)
    set(${placement_var} "${placement}" PARENT_SCOPE)
endfunction()

# The names no frame or animation may take, as the tool refuses them too: keywords of C23 and
# C++20 (the alternative tokens such as `and` among them), and the names <stdint.h> and
# <stddef.h> define, which the generated sources include.
function(_tivrano_reserved_names out_var)
    set(names
        alignas alignof and and_eq asm auto bitand bitor bool break case catch char char8_t
        char16_t char32_t class co_await co_return co_yield compl concept const const_cast
        consteval constexpr constinit continue decltype default delete do double dynamic_cast
        else enum explicit export extern false float for friend goto if inline int long mutable
        namespace new noexcept not not_eq nullptr operator or or_eq private protected public
        register reinterpret_cast requires restrict return short signed sizeof static
        static_assert static_cast struct switch template this thread_local throw true try
        typedef typeid typename typeof typeof_unqual union unsigned using virtual void volatile
        wchar_t while xor xor_eq
        NULL max_align_t nullptr_t offsetof ptrdiff_t size_t unreachable
        intptr_t uintptr_t intmax_t uintmax_t INTPTR_MIN INTPTR_MAX UINTPTR_MAX INTMAX_MIN
        INTMAX_MAX UINTMAX_MAX PTRDIFF_MIN PTRDIFF_MAX SIG_ATOMIC_MIN SIG_ATOMIC_MAX SIZE_MAX
        WCHAR_MIN WCHAR_MAX WINT_MIN WINT_MAX INTPTR_WIDTH UINTPTR_WIDTH INTMAX_WIDTH
        UINTMAX_WIDTH PTRDIFF_WIDTH SIG_ATOMIC_WIDTH SIZE_WIDTH WCHAR_WIDTH WINT_WIDTH INTMAX_C
        UINTMAX_C)
    foreach(bits 8 16 32 64)
        foreach(kind IN ITEMS "" _least _fast)
            string(TOUPPER "${kind}" KIND)
            list(APPEND names int${kind}${bits}_t uint${kind}${bits}_t INT${KIND}${bits}_MIN
                INT${KIND}${bits}_MAX UINT${KIND}${bits}_MAX INT${KIND}${bits}_WIDTH
                UINT${KIND}${bits}_WIDTH)
        endforeach()
        list(APPEND names INT${bits}_C UINT${bits}_C)
    endforeach()
    set(${out_var} ${names} PARENT_SCOPE)
endfunction()

# Why `identifier` cannot name a frame or an animation, or nothing if it can: it must be a C
# identifier of at most 200 characters, none of the reserved names, not main, and none that
# the compiler reserves.
function(_tivrano_identifier_problem out_var identifier)
    _tivrano_reserved_names(reserved)
    string(LENGTH "${identifier}" length)
    set(problem "")
    if(NOT identifier MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
        set(problem "is not a C identifier")
    elseif(length GREATER 200)
        set(problem "is longer than 200 characters")
    elseif(identifier IN_LIST reserved)
        set(problem "is a keyword of C or C++, or a name of <stdint.h> or <stddef.h>")
    elseif(identifier STREQUAL "main")
        set(problem "is the program's entry point")
    elseif(identifier MATCHES "^(__|_[A-Z])")
        set(problem "is reserved for the compiler (it starts with __ or _ and a capital)")
    endif()
    set(${out_var} "${problem}" PARENT_SCOPE)
endfunction()

# Records that `identifier` is defined for `frame`, or stops naming both files when another
# frame (or table) defines it already.
function(_tivrano_claim_identifier caller identifier frame)
    set(claim "${frame} (${caller})")
    get_property(owner GLOBAL PROPERTY "TIVRANO_IDENTIFIER_${identifier}")
    if(owner)
        message(FATAL_ERROR "${caller}: the name ${identifier} is "
            "already defined for ${owner}, and again for ${claim}; every frame and animation "
            "needs a name of its own (NAMES, or an animation's NAME)")
    endif()
    set_property(GLOBAL PROPERTY "TIVRANO_IDENTIFIER_${identifier}" "${claim}")
endfunction()

# The converter's command, and what a conversion depends on for it.
function(_tivrano_converter command_var depends_var)
    if(TIVRANO_EXECUTABLE)
        set(command "${TIVRANO_EXECUTABLE}")
        set(depends "${TIVRANO_EXECUTABLE}")
    elseif(TARGET tivrano::tivrano AND NOT CMAKE_CROSSCOMPILING)
        get_target_property(built tivrano::tivrano ALIASED_TARGET)
        set(command "$<TARGET_FILE:tivrano::tivrano>")
        if(built)
            set(depends ${built})
        else()
            set(depends "$<TARGET_FILE:tivrano::tivrano>")
        endif()
    else()
        # A cross build: the converter must be one for the build machine, never one from the
        # target's sysroot. The package's own, when it was found on this machine, comes first.
        set(hints)
        if(TARGET tivrano::tivrano)
            get_target_property(imported tivrano::tivrano IMPORTED)
            if(imported)
                get_target_property(location tivrano::tivrano LOCATION)
                get_filename_component(location "${location}" DIRECTORY)
                list(APPEND hints "${location}")
            endif()
        endif()
        find_program(TIVRANO_EXECUTABLE tivrano HINTS ${hints} NO_CMAKE_FIND_ROOT_PATH
            DOC "The tivrano converter that runs on the build machine")
        if(NOT TIVRANO_EXECUTABLE)
            message(FATAL_ERROR "tivrano_add_frames: no tivrano for the build machine; install "
                "it there, or set TIVRANO_EXECUTABLE to its path")
        endif()
        set(command "${TIVRANO_EXECUTABLE}")
        set(depends "${TIVRANO_EXECUTABLE}")
    endif()
    set(${command_var} "${command}" PARENT_SCOPE)
    set(${depends_var} "${depends}" PARENT_SCOPE)
endfunction()

# ImageMagick on the build machine, never in a cross-compiler's sysroot: magick (7) or convert
# (6), or what TIVRANO_IMAGEMAGICK names. On Windows only magick, since convert.exe there is the
# system's disk converter.
function(_tivrano_imagemagick caller command_var)
    if(CMAKE_HOST_WIN32)
        set(names magick)
    else()
        set(names magick convert)
    endif()
    find_program(TIVRANO_IMAGEMAGICK NAMES ${names} NO_CMAKE_FIND_ROOT_PATH
        DOC "ImageMagick's magick or convert, which splits animations for tivrano")
    if(NOT TIVRANO_IMAGEMAGICK)
        message(FATAL_ERROR "${caller}: ImageMagick reads the animation, and neither magick "
            "nor convert is on this machine. Install it (Debian and Ubuntu: apt install "
            "imagemagick; macOS: brew install imagemagick; Windows: the installer from "
            "imagemagick.org, with its folder on the PATH), or set TIVRANO_IMAGEMAGICK to its "
            "magick or convert.")
    endif()
    execute_process(COMMAND "${TIVRANO_IMAGEMAGICK}" -version
        RESULT_VARIABLE status OUTPUT_VARIABLE version ERROR_QUIET)
    if(NOT status EQUAL 0 OR NOT version MATCHES "ImageMagick")
        message(FATAL_ERROR "${caller}: ${TIVRANO_IMAGEMAGICK} is not ImageMagick; install "
            "ImageMagick, or set TIVRANO_IMAGEMAGICK to its magick or convert")
    endif()
    set(${command_var} "${TIVRANO_IMAGEMAGICK}" PARENT_SCOPE)
endfunction()

# Stops a call given arguments it does not take, or a target that does not exist.
function(_tivrano_check_call caller target unparsed)
    if(unparsed)
        message(FATAL_ERROR "${caller}: unknown arguments: ${unparsed}")
    endif()
    if(NOT TARGET ${target})
        message(FATAL_ERROR "${caller}: ${target} is not a target")
    endif()
endfunction()

# Where a call's files go, set in the caller: `output_dir` (OUTPUT_DIR, by default tivrano_<target>
# in the current binary folder), `header` (HEADER or `default_header`, in that folder unless
# absolute), `header_include` (how the generated sources include it), `include_dir` (the
# folder to put on the target's include path) and `extension`, the generated sources' (c where
# the project compiles C, else cpp; the sources give both the same linkage). No two calls write
# one header.
function(_tivrano_places caller target output_dir header default_header)
    if(NOT output_dir)
        set(output_dir "${CMAKE_CURRENT_BINARY_DIR}/tivrano_${target}")
    endif()
    get_filename_component(output_dir "${output_dir}" ABSOLUTE
        BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
    if(NOT header)
        set(header "${default_header}")
    endif()
    if(IS_ABSOLUTE "${header}")
        get_filename_component(include_dir "${header}" DIRECTORY)
        get_filename_component(header_include "${header}" NAME)
    else()
        set(include_dir "${output_dir}")
        set(header_include "${header}")
        set(header "${output_dir}/${header}")
    endif()
    get_property(owner GLOBAL PROPERTY "TIVRANO_HEADER_${header}")
    if(owner)
        message(FATAL_ERROR "${caller}: ${header} is written by ${owner} already; give this "
            "call a HEADER of its own")
    endif()
    set_property(GLOBAL PROPERTY "TIVRANO_HEADER_${header}" "${caller}")
    get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
    set(extension cpp)
    if("C" IN_LIST languages)
        set(extension c)
    endif()
    foreach(variable output_dir header header_include include_dir extension)
        set(${variable} "${${variable}}" PARENT_SCOPE)
    endforeach()
endfunction()

# Moves `new` to `old` unless `old` holds the same bytes already; then `old` keeps its time.
function(_tivrano_replace_if_different new old)
    if(EXISTS "${old}")
        file(SHA256 "${new}" new_hash)
        file(SHA256 "${old}" old_hash)
        if(new_hash STREQUAL old_hash)
            return()
        endif()
    endif()
    file(RENAME "${new}" "${old}")
endfunction()
