# tivrano_add_frames(<target> FRAMES <bmp>... [NAMES <ident>...] [HEADER <file.h>]
#                    [TABLE <ident>] [OUTPUT_DIR <dir>]
#                    [ORDER <order>] [START <corner>] [COLUMNS] [SERPENTINE] [PROGMEM]
#                    [GAMMA <g>|<r,g,b>] [BRIGHTNESS <percent>] [MAX_CURRENT_MA <ma>]
#                    [LED_CURRENT <r,g,b,idle>] [ALLOW_WARNINGS])
#
# Converts each BMP frame with tivrano at build time and adds the result to <target>, where it
# compiles with the target's own flags (a cross-compiler's too; an INTERFACE library passes the
# sources and the header's folder on to the targets that link it). For a frame named NAME:
#
#   const uint8_t NAME[];            the tool's array, pixels as green, red, blue, top row first
#   const size_t NAME_size;          the bytes in NAME
#   const int32_t NAME_width, NAME_height;   as the file's header holds them
#
# FRAMES      the BMP files; relative paths are taken from CMAKE_CURRENT_SOURCE_DIR.
# NAMES       one C identifier a frame, unique across the build; by default each file's name
#             without its last extension, made an identifier ("walk-1.bmp" and "walk.1.bmp" are
#             walk_1). The tool refuses keywords of C and C++, the names of <stdint.h> and
#             <stddef.h>, main and reserved names.
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
# The tool checks the values and names as it would take them (tivrano --check), and its reason
# names the keyword: an installed tool, or one TIVRANO_EXECUTABLE names, at configure time, which
# stops there; a tool built by this build (add_subdirectory) as the build's first step, which
# stops the build before any frame is converted. The functions keep no copy of these rules.
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
# plays (it is put on <target>'s include path); on an AVR it is in flash memory. An animation of
# one frame (one PNG, or a GIF of one frame) defines the same.
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
    _tivrano_tool_options(options arg)
    if(NOT arg_ALLOW_WARNINGS)
        list(APPEND options --strict)
    endif()

    set(names ${arg_NAMES})
    if(NOT names)
        foreach(frame IN LISTS arg_FRAMES)
            get_filename_component(stem "${frame}" NAME_WLE)
            string(MAKE_C_IDENTIFIER "${stem}" name)
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

    # The tool checks the options and every name, as each frame's conversion would, before
    # anything is generated.
    _tivrano_converter("${caller}")
    list(TRANSFORM names PREPEND "--name=" OUTPUT_VARIABLE name_options)
    if(arg_TABLE)
        list(APPEND name_options "--name=${arg_TABLE}")
    endif()
    _tivrano_check_options(said checked "${caller}" ${options} ${name_options})
    if(said MATCHES "^NAME ([^:]*):")
        # Which frame the name is of, or the TABLE.
        list(FIND names "${CMAKE_MATCH_1}" k)
        if(k GREATER_EQUAL 0)
            list(GET arg_FRAMES ${k} frame)
            string(APPEND said " (the name of frame ${frame}")
            if(NOT arg_NAMES)
                string(APPEND said ", made from its file name; give the frame a name with NAMES")
            endif()
            string(APPEND said ")")
        elseif(arg_TABLE)
            string(REGEX REPLACE "^NAME" "TABLE" said "${said}")
        endif()
    endif()
    if(said)
        message(FATAL_ERROR "${caller}: ${said}")
    endif()
    foreach(frame name IN ZIP_LISTS arg_FRAMES names)
        foreach(identifier ${name} ${name}_size ${name}_width ${name}_height)
            _tivrano_claim_identifier("${caller}" "${identifier}" "${frame}")
        endforeach()
    endforeach()
    foreach(identifier ${arg_TABLE} ${arg_TABLE}_count)
        _tivrano_claim_identifier("${caller}" "${identifier}" "its TABLE")
    endforeach()
    _tivrano_places("${caller}" "${target}" "${arg_OUTPUT_DIR}" "${arg_HEADER}"
        "${target}_frames.h")

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
            DEPENDS "${bmp}" ${tool_depends} ${checked}
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
    _tivrano_add_sources(${target} "${sources}" "${include_dir}")
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
    get_property(owner GLOBAL PROPERTY "TIVRANO_IDENTIFIER_${name}")
    if(owner)
        message(FATAL_ERROR "${caller}: the NAME ${name} is taken by ${owner}; choose another "
            "NAME")
    endif()
    _tivrano_tool_options(options arg)
    list(APPEND options --strict)
    if(arg_PACKED)
        list(APPEND options --pack)
    endif()
    if(DEFINED arg_MAX_BYTES)
        if(NOT arg_PACKED)
            message(FATAL_ERROR "${caller}: MAX_BYTES is for a PACKED animation")
        endif()
        list(APPEND options "--max-bytes=${arg_MAX_BYTES}")
    endif()

    _tivrano_animation_sources("${caller}" sources origin is_gif ${arg_SOURCE})
    set(delay_ms "${arg_DELAY_MS}")
    set(delay_option)
    if(is_gif AND NOT delay_ms STREQUAL "")
        message(FATAL_ERROR "${caller}: DELAY_MS is for PNG frames; the GIF ${origin} holds its "
            "own delays")
    elseif(delay_ms STREQUAL "")
        set(delay_ms 100)
    else()
        set(delay_option "--delay-ms=${delay_ms}")
    endif()
    set(background black)
    if(arg_BACKGROUND)
        set(background "${arg_BACKGROUND}")
    endif()

    _tivrano_converter("${caller}")
    _tivrano_check_options(said checked "${caller}" ${options} "--name=${name}" ${delay_option})
    if(said)
        message(FATAL_ERROR "${caller}: ${said}")
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

    if(frame_count EQUAL 1 AND NOT arg_PACKED)
        _tivrano_one_frame("${caller}" "${name}" "${origin}" "${arg_PROGMEM}" ${options})
    else()
        list(JOIN delays "," delay_list)
        # The tool writes both files whole or not at all, and leaves them as they were when it
        # refuses the animation, so that the next build tries again.
        add_custom_command(
            OUTPUT "${source}" "${header}"
            COMMAND "${tool}" ${options} "--name=${name}" "--delay-ms=${delay_list}"
                "--header=${header}" -o "${source}" ${frames}
            DEPENDS ${frames} ${tool_depends} ${checked}
            COMMENT "tivrano: converting the ${frame_count} frames of ${origin} into ${name}"
            VERBATIM)
        set(sources "${source}" "${header}")
    endif()
    set(include_dirs "${include_dir}")
    if(arg_PACKED)
        get_property(player GLOBAL PROPERTY TIVRANO_PLAYER_DIR)
        list(APPEND include_dirs "${player}")
    endif()
    _tivrano_add_sources(${target} "${sources}" "${include_dirs}")
endfunction()

# An animation of one frame, which the tool converts as a frame (it takes delays and a header
# only for two frames or more): sets `sources` in the caller to the frame's source, written at
# build time, and the animation's own, which defines the table, the size and the delay as the
# tool does for more frames, and writes the header, which declares them alike. The frame is
# `frames`, of `width` x `height` pixels and shown `delays` ms, and goes where `header`,
# `source`, `output_dir` and `extension` say, as the caller has them.
function(_tivrano_one_frame caller name origin progmem)
    set(options ${ARGN})
    set(frame_source "${output_dir}/${name}_0.${extension}")
    add_custom_command(
        OUTPUT "${frame_source}"
        COMMAND "${tool}" ${options} "--name=${name}_0" -o "${frame_source}" ${frames}
        DEPENDS ${frames} ${tool_depends} ${checked}
        COMMENT "tivrano: converting the one frame of ${origin} into ${name}"
        VERBATIM)
    if(checked)
        # Its delay is compiled only once the tool took the options.
        set_source_files_properties("${source}" PROPERTIES OBJECT_DEPENDS "${checked}")
    endif()
    _tivrano_progmem("${progmem}" prologue placement)
    file(CONFIGURE OUTPUT "${source}" CONTENT
"/* The animation ${name} of one frame, ${name}_0. Generated by tivrano_add_animation; do not
   edit. */
#include \"${header_include}\"
${prologue}
const uint8_t *const ${name}[]${placement} = {
    ${name}_0,
};
const size_t ${name}_count = 1;
const int32_t ${name}_width = ${width}, ${name}_height = ${height};
const uint16_t ${name}_delay_ms[]${placement} = {
    ${delays},
};
")
    _tivrano_write_header("${header}" "${header_include}"
        "The animation ${name} of one frame. Generated by tivrano_add_animation; do not edit."
        "" "extern const uint8_t ${name}_0[];
extern const size_t ${name}_0_size;
extern const int32_t ${name}_0_width, ${name}_0_height;
extern const uint8_t *const ${name}[];
extern const size_t ${name}_count;
extern const int32_t ${name}_width, ${name}_height;
extern const uint16_t ${name}_delay_ms[];
")
    set(sources "${frame_source}" "${source}" "${header}" PARENT_SCOPE)
endfunction()

# The tool's options for the layout and colour keywords parsed with `prefix`, as given: the
# tool checks them (_tivrano_check_options).
function(_tivrano_tool_options out_var prefix)
    set(options)
    set(keywords ORDER START GAMMA BRIGHTNESS MAX_CURRENT_MA LED_CURRENT)
    set(names order start gamma brightness max-current led-current)
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

# Has the tool check the options after `caller`, names among them, as a conversion would take
# them (tivrano --check), so that the rules for values and names live in the tool alone. With
# a tool that exists now (the installed package's, TIVRANO_EXECUTABLE, a cross build's), it
# runs here: `said_var` gets the tool's reason, which names the keyword, without "tivrano: ", or
# nothing. With a tool this build makes (add_subdirectory), it is the build's first step:
# `checked_var` gets the file written once the check passed, on which every conversion of the
# call depends, so that bad options fail the build with the tool's reason and nothing written.
# Uses `tool`, `tool_depends` and `program` from _tivrano_converter, as the caller has them.
function(_tivrano_check_options said_var checked_var caller)
    set(said "")
    set(checked "")
    if(program)
        execute_process(COMMAND "${program}" --check ${ARGN}
            RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE said)
        if(status EQUAL 0)
            set(said "")
        else()
            string(REGEX REPLACE "(^|\n)tivrano: " "\\1" said "${said}")
            string(STRIP "${said}" said)
            if(said STREQUAL "")
                set(said "${program} --check ended with status ${status}")
            endif()
        endif()
    else()
        get_property(calls GLOBAL PROPERTY TIVRANO_CHECKS)
        math(EXPR calls "${calls} + 1")
        set_property(GLOBAL PROPERTY TIVRANO_CHECKS ${calls})
        set(checked "${CMAKE_CURRENT_BINARY_DIR}/tivrano_checked/${calls}")
        # Rewritten only when the options change, so that make, which does not compare
        # commands, checks them again.
        string(REPLACE ";" "\n" given "${ARGN}")
        set(given_file "${checked}.options")
        if(EXISTS "${given_file}")
            file(READ "${given_file}" before)
        endif()
        if(NOT EXISTS "${given_file}" OR NOT before STREQUAL given)
            file(WRITE "${given_file}" "${given}")
        endif()
        add_custom_command(
            OUTPUT "${checked}"
            COMMAND "${tool}" --check ${ARGN}
            COMMAND "${CMAKE_COMMAND}" -E touch "${checked}"
            DEPENDS "${given_file}" ${tool_depends}
            COMMENT "tivrano: checking the options of ${caller}"
            VERBATIM)
    endif()
    set(${said_var} "${said}" PARENT_SCOPE)
    set(${checked_var} "${checked}" PARENT_SCOPE)
endfunction()

# Adds the generated `sources` to `target` and `include_dirs` to its include path, and to those
# of the targets that link it; an INTERFACE library passes both on to them.
function(_tivrano_add_sources target sources include_dirs)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_sources(${target} PRIVATE ${sources} INTERFACE ${sources})
        target_include_directories(${target} INTERFACE ${include_dirs})
    else()
        target_sources(${target} PRIVATE ${sources})
        target_include_directories(${target} PUBLIC ${include_dirs})
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
            string(CONCAT problem "${source}: ${frame_width} x ${frame_height} pixels, the "
                "frames before it ${width} x ${height}; every frame needs the same size")
        elseif(bmp_size GREATER 1000000)
            string(CONCAT problem "${source} is ${width} x ${height} pixels, a BMP of "
                "${bmp_size} bytes, more than the 1000000 tivrano reads; scale the animation down")
        elseif(is_gif)
            # GIF delays are in hundredths of a second.
            list(GET description 2 ticks)
            math(EXPR delay_ms "${ticks} * 10")
            if(delay_ms GREATER 65535)
                string(CONCAT problem "${source} is shown for ${delay_ms} ms, more than the "
                    "65535 that ${name}_delay_ms (uint16_t) holds")
            endif()
        endif()
        if(problem)
            file(REMOVE_RECURSE ${made})
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

# Sets in the caller `tool`, the converter's command, `tool_depends`, what a conversion depends
# on for it, and `program`, the converter's path when it exists now (for _tivrano_check_options),
# or nothing when this build makes it.
function(_tivrano_converter caller)
    set(program "")
    if(TIVRANO_EXECUTABLE)
        set(command "${TIVRANO_EXECUTABLE}")
        set(depends "${TIVRANO_EXECUTABLE}")
        if(EXISTS "${TIVRANO_EXECUTABLE}" AND NOT IS_DIRECTORY "${TIVRANO_EXECUTABLE}")
            set(program "${TIVRANO_EXECUTABLE}")
        endif()
    elseif(TARGET tivrano::tivrano AND NOT CMAKE_CROSSCOMPILING)
        get_target_property(built tivrano::tivrano ALIASED_TARGET)
        set(command "$<TARGET_FILE:tivrano::tivrano>")
        if(built)
            set(depends ${built})
        else()
            set(depends "$<TARGET_FILE:tivrano::tivrano>")
            get_target_property(program tivrano::tivrano LOCATION)
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
            message(FATAL_ERROR "${caller}: no tivrano for the build machine; install it "
                "there, or set TIVRANO_EXECUTABLE to its path")
        endif()
        set(command "${TIVRANO_EXECUTABLE}")
        set(depends "${TIVRANO_EXECUTABLE}")
        set(program "${TIVRANO_EXECUTABLE}")
    endif()
    set(tool "${command}" PARENT_SCOPE)
    set(tool_depends "${depends}" PARENT_SCOPE)
    set(program "${program}" PARENT_SCOPE)
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
