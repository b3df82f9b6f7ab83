# tivrano_add_frames(<target> FRAMES <image>... [NAMES <ident>...] [HEADER <file.h>]
#                    [TABLE <ident>] [OUTPUT_DIR <dir>]
#                    [ORDER <order>] [START <corner>] [COLUMNS] [SERPENTINE] [PROGMEM]
#                    [MAP <file>] [TILES <c>x<r>] [TILE_START <corner>] [TILE_COLUMNS]
#                    [TILE_SERPENTINE] [GAMMA <g>|<r,g,b>] [BRIGHTNESS <percent>]
#                    [MAX_CURRENT_MA <ma>] [LED_CURRENT <r,g,b,idle>] [FORMAT <format>]
#                    [SWAP_BYTES] [THRESHOLD <t>] [MAX_BYTES <n>] [ALLOW_WARNINGS])
#
# Converts each frame, a BMP, PNG or GIF, with tivrano at build time and adds the result to <target>, where it
# compiles with the target's own flags (a cross-compiler's too; an INTERFACE library passes the
# sources and the header's folder on to the targets that link it). For a frame named NAME:
#
#   const uint8_t NAME[];            the tool's array, pixels as green, red, blue, top row first
#   const size_t NAME_size;          the bytes in NAME
#   const int32_t NAME_width, NAME_height;   as the file's header holds them
#
# FRAMES      the BMP, PNG or GIF files; relative paths are taken from CMAKE_CURRENT_SOURCE_DIR.
#             A PNG or GIF is taken as the tool reads it, its transparency laid on black; of an
#             animated GIF only the first frame is taken (tivrano --first-frame), as the command
#             line converts it without --name: tivrano_add_animation takes all of them.
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
# MAP         the LEDs where a map file puts them (tivrano --map): a grid map, WLED's
#             ledmap.json, or the LEDs' positions as JSON or CSV. A relative path is taken from
#             CMAKE_CURRENT_SOURCE_DIR; the frames are converted again when the map changes.
#             A frame then holds the map's LEDs in their order, and NAME_width is their count,
#             NAME_height 1.
# TILES, TILE_START, TILE_COLUMNS, TILE_SERPENTINE
#             the frame is <c> x <r> panels, each wired as START, COLUMNS and SERPENTINE say,
#             chained from the panel TILE_START names, along columns, serpentine (tivrano
#             --tiles, --tile-start, --tile-columns, --tile-serpentine). MAP and TILES exclude
#             each other.
# PROGMEM     on an AVR the frames, and the TABLE, go to flash memory: read a frame's bytes
#             with pgm_read_byte, and the table's entries with pgm_read_ptr.
# GAMMA, BRIGHTNESS, MAX_CURRENT_MA, LED_CURRENT
#             the colours (tivrano --gamma, --brightness, --max-current, --led-current): a
#             gamma from 0.1 to 5.0, or three for red, green and blue; a whole percent from 1
#             to 100; a limit in milliamperes; the model's milliamperes at full red, green and
#             blue and for a dark LED. Each frame of tivrano_add_frames is scaled on its own.
# FORMAT, SWAP_BYTES, THRESHOLD
#             what the array holds for an LED (tivrano --format, --swap-bytes, --threshold):
#             grb, the default, its three values; rgb565, `const uint16_t NAME[]`, a 16-bit
#             value, its bytes swapped with SWAP_BYTES (and BGR565 with ORDER bgr); mono, a
#             bit an LED, lit from the brightness THRESHOLD (1 to 255, 128 by default) on,
#             each line of the strip padded to whole bytes. The header and TABLE declare the
#             frames as `const uint16_t` for rgb565.
# MAX_BYTES   stops the build when a frame would store more than that many bytes, as the
#             tool counts them (tivrano --max-bytes), naming the frame.
# ALLOW_WARNINGS
#             converts a frame that tivrano converts only with a warning (not a plain 24-bit
#             BMP, top-down, no pixels); without it, such a frame stops the build.
#
# The tool checks the values and names as it would take them (tivrano --check), and its reason
# names the keyword: an installed tool, or one TIVRANO_EXECUTABLE names, at configure time, which
# stops there; a tool built by this build (add_subdirectory) as the build's first step, which
# stops the build before any frame is converted. The functions keep no copy of these rules.
#
# A frame is converted again when its BMP, its MAP, the tool or this package changes, and only
# then. A refused frame stops the build with the tool's message and reasons and writes no
# output, so the next build stops the same way. The converter runs on the build machine: the
# cache variable TIVRANO_EXECUTABLE names it; otherwise it is tivrano::tivrano, or, when
# cross-compiling, a tivrano found among the build machine's programs.
#
# tivrano_add_animation(<target> NAME <ident> SOURCE <file.gif> | SOURCE <png>...
#                       [HEADER <file.h>] [BACKGROUND <rrggbb>] [DELAY_MS <ms>]
#                       [PACKED [SMALL|AUTO]] [MAX_BYTES <n>] [OUTPUT_DIR <dir>] [ORDER <order>]
#                       [START <corner>] [COLUMNS] [SERPENTINE] [MAP <file>]
#                       [TILES <c>x<r>] [TILE_START <corner>] [TILE_COLUMNS]
#                       [TILE_SERPENTINE] [PROGMEM] [GAMMA ...]
#                       [BRIGHTNESS ...] [MAX_CURRENT_MA ...] [LED_CURRENT ...]
#                       [FORMAT ...] [SWAP_BYTES] [THRESHOLD ...] [BINARY <file>])
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
#             transparent), with its delays (one past 65535 ms is held at 65535). The frames
#             must have one size, and the tool's limits apply; a file it refuses stops the
#             build with its message. PNGs are taken in the order given, except that a
#             list in plain text order, as file(GLOB) gives it, is put in the order of the
#             numbers in the names: f9 before f10.
# HEADER      declares everything above; NAME.h by default, in OUTPUT_DIR unless absolute.
# BACKGROUND  what transparent pixels are laid on, six hex digits of red, green and blue
#             (tivrano --background): 102030, or #102030; 000000, black, an unlit LED, by
#             default. Colour names such as black are not taken.
# DELAY_MS    each frame's delay, 0 to 65535, or one for each, parted by commas (80,80,200);
#             by default a GIF's own delays, and 100 for PNG frames. A list of another length
#             than the frames stops the build with the tool's reason.
# PACKED      stores the frames packed (tivrano --pack); PACKED SMALL in fewer bytes, each frame
#             taking more cycles to play (--pack=small), PACKED AUTO the smaller of the two.
# MAX_BYTES   stops the build when the animation would store more than that many bytes, as
#             the tool counts them (tivrano --max-bytes): its frames, each stored once, or
#             packed, and their tables.
# OUTPUT_DIR, ORDER, START, COLUMNS, SERPENTINE, MAP, TILES, TILE_START, TILE_COLUMNS,
# TILE_SERPENTINE, PROGMEM, GAMMA, BRIGHTNESS, LED_CURRENT, FORMAT, SWAP_BYTES, THRESHOLD
#             as for tivrano_add_frames; with PROGMEM, NAME[] and NAME_delay_ms[] are in flash
#             memory too: read them with pgm_read_ptr and pgm_read_word. FORMAT rgb565 makes
#             the frames `const uint16_t`; PACKED packs the format's values, which
#             tivrano_player.h plays where TIVRANO_VALUE_BYTES is their size.
# MAX_CURRENT_MA
#             as for tivrano_add_frames, with one factor for every frame, the one the brightest
#             needs, so that the frames keep their brightness to each other.
# BINARY      writes the animation as a file instead of C source (tivrano --binary), for a
#             board's data folder, which Arduino and PlatformIO upload to LittleFS: with PACKED
#             the packed file, which tivrano_player.h's stream player plays (its folder is put
#             on <target>'s include path); otherwise every frame's bytes, one after another.
#             A relative path is taken from CMAKE_CURRENT_SOURCE_DIR, where data/ lies. The
#             file is written before <target> is built; nothing is compiled into it, and
#             HEADER (the tool's reason) and OUTPUT_DIR, which are for the C source, are
#             refused; MAX_BYTES counts the file's bytes.
#
# The tool reads the GIF or the PNGs as they are, at build time, in one call that writes the
# source and the header; the animation is converted again when a file of SOURCE changes. The
# frames' names NAME_0, NAME_1 ... are the animation's, however many it has: no other call may
# take one.
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
    cmake_parse_arguments(PARSE_ARGV 1 arg
        "COLUMNS;SERPENTINE;TILE_COLUMNS;TILE_SERPENTINE;PROGMEM;SWAP_BYTES;ALLOW_WARNINGS"
        "ORDER;START;MAP;TILES;TILE_START;GAMMA;BRIGHTNESS;MAX_CURRENT_MA;LED_CURRENT;FORMAT;THRESHOLD;MAX_BYTES;HEADER;TABLE;OUTPUT_DIR"
        "FRAMES;NAMES")
    set(caller "tivrano_add_frames(${target})")
    _tivrano_check_call("${caller}" "${target}" "${arg_UNPARSED_ARGUMENTS}")
    if(NOT arg_FRAMES)
        message(FATAL_ERROR "${caller}: no FRAMES given")
    endif()
    # A frame of an animated GIF is its first: --name alone would make the GIF an animation.
    _tivrano_tool_options(options option_depends arg)
    list(APPEND options --first-frame)
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
        get_filename_component(path "${frame}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        list(APPEND absolute "${path}")
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
    if(arg_TABLE)
        foreach(identifier ${arg_TABLE} ${arg_TABLE}_count)
            _tivrano_claim_identifier("${caller}" "${identifier}" "its TABLE")
        endforeach()
    endif()
    _tivrano_places("${caller}" "${target}" "${arg_OUTPUT_DIR}" "${arg_HEADER}"
        "${target}_frames.h")

    # The tool's array type for the format, which the tool checked: uint16_t for rgb565.
    set(type uint8_t)
    string(TOLOWER "${arg_FORMAT}" format)
    if(format STREQUAL "rgb565")
        set(type uint16_t)
    endif()
    set(declarations)
    set(sources)
    file(MAKE_DIRECTORY "${output_dir}")
    foreach(path frame name IN ZIP_LISTS absolute arg_FRAMES names)
        set(source "${output_dir}/${name}.${extension}")
        # The tool writes the source whole or not at all, and leaves it as it was when it
        # refuses the frame: older than the frame, so the next build tries again.
        add_custom_command(
            OUTPUT "${source}"
            COMMAND "${tool}" ${options} "--name=${name}" -o "${source}" "${path}"
            DEPENDS "${path}" ${option_depends} ${tool_depends} ${checked}
            COMMENT "tivrano: converting ${frame} into ${name}"
            VERBATIM)
        list(APPEND sources "${source}")
        string(APPEND declarations
            "extern const ${type} ${name}[];\n"
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
const ${type} *const ${arg_TABLE}[]${placement} = {${members}};
const size_t ${arg_TABLE}_count = sizeof ${arg_TABLE} / sizeof ${arg_TABLE}[0];
")
        list(APPEND sources "${table_source}")
        string(APPEND declarations
            "\n/* The frames in the order given. */\n"
            "extern const ${type} *const ${arg_TABLE}[];\n"
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
    cmake_parse_arguments(PARSE_ARGV 1 arg
        "COLUMNS;SERPENTINE;TILE_COLUMNS;TILE_SERPENTINE;PROGMEM;SWAP_BYTES"
        "ORDER;START;MAP;TILES;TILE_START;GAMMA;BRIGHTNESS;MAX_CURRENT_MA;LED_CURRENT;FORMAT;THRESHOLD;NAME;HEADER;BACKGROUND;DELAY_MS;MAX_BYTES;OUTPUT_DIR;BINARY;PACKED"
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
    if(owner AND NOT arg_BINARY)
        message(FATAL_ERROR "${caller}: the NAME ${name} is taken by ${owner}; choose another "
            "NAME")
    endif()
    _tivrano_tool_options(options option_depends arg)
    list(APPEND options --strict)
    # PACKED alone, or with how, which the tool checks.
    set(packed OFF)
    if("PACKED" IN_LIST arg_KEYWORDS_MISSING_VALUES)
        set(packed ON)
        list(APPEND options --pack)
    elseif(DEFINED arg_PACKED)
        set(packed ON)
        string(TOLOWER "${arg_PACKED}" how)
        list(APPEND options "--pack=${how}")
    endif()
    if(NOT "${arg_BACKGROUND}" STREQUAL "")
        list(APPEND options "--background=${arg_BACKGROUND}")
    endif()
    # A list of delays of another length than the frames is the tool's to refuse, once it has
    # read them.
    if(NOT "${arg_DELAY_MS}" STREQUAL "")
        list(APPEND options "--delay-ms=${arg_DELAY_MS}")
    endif()

    _tivrano_animation_sources("${caller}" sources origin ${arg_SOURCE})
    if(arg_BINARY)
        if(arg_OUTPUT_DIR)
            message(FATAL_ERROR "${caller}: OUTPUT_DIR is for the C source, and BINARY writes a "
                "file instead")
        endif()
        list(APPEND options --binary)
        # The tool refuses a header for binary output, naming HEADER.
        if(arg_HEADER)
            list(APPEND options "--header=${arg_HEADER}")
        endif()
    endif()

    _tivrano_converter("${caller}")
    _tivrano_check_options(said checked "${caller}" ${options} "--name=${name}")
    if(said)
        message(FATAL_ERROR "${caller}: ${said}")
    endif()
    if(arg_BINARY)
        # The file, whole or not at all, for the board's data folder; it defines no names.
        get_filename_component(binary "${arg_BINARY}" ABSOLUTE
            BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        get_filename_component(folder "${binary}" DIRECTORY)
        file(MAKE_DIRECTORY "${folder}")
        add_custom_command(
            OUTPUT "${binary}"
            COMMAND "${tool}" ${options} "--name=${name}" -o "${binary}" ${sources}
            DEPENDS ${sources} ${option_depends} ${tool_depends} ${checked}
            COMMENT "tivrano: writing the animation ${origin} into ${binary}"
            VERBATIM)
        set(include_dirs)
        if(packed)
            get_property(include_dirs GLOBAL PROPERTY TIVRANO_PLAYER_DIR)
        endif()
        _tivrano_add_sources(${target} "${binary}" "${include_dirs}")
        return()
    endif()
    _tivrano_places("${caller}" "${target}" "${arg_OUTPUT_DIR}" "${arg_HEADER}" "${name}.h")
    set(source "${output_dir}/${name}.${extension}")
    # The frames' names, NAME_0 on, are claimed as a family: how many a GIF holds is known only
    # once the tool has read it, at build time.
    set(defined ${name})
    set(frame_names)
    if(NOT packed)
        list(APPEND defined ${name}_count ${name}_width ${name}_height ${name}_delay_ms)
        get_property(frame_names GLOBAL PROPERTY TIVRANO_IDENTIFIERS)
        list(FILTER frame_names INCLUDE REGEX "^${name}_[0-9]+(_size|_width|_height)?$")
    endif()
    # A frame name claimed already stops here, naming its owner.
    foreach(identifier IN LISTS defined frame_names)
        _tivrano_claim_identifier("${caller}" "${identifier}" "the animation of ${origin}")
    endforeach()
    if(NOT packed)
        set_property(GLOBAL PROPERTY "TIVRANO_FRAMES_OF_${name}"
            "the animation of ${origin} (${caller})")
    endif()

    file(MAKE_DIRECTORY "${output_dir}" "${include_dir}")
    # The tool reads the GIF or the PNGs as they are, and with --header makes an animation even
    # of one frame. It writes both files whole or not at all, and leaves them as they were when
    # it refuses the animation, so that the next build tries again.
    add_custom_command(
        OUTPUT "${source}" "${header}"
        COMMAND "${tool}" ${options} "--name=${name}" "--header=${header}" -o "${source}"
            ${sources}
        DEPENDS ${sources} ${option_depends} ${tool_depends} ${checked}
        COMMENT "tivrano: converting the animation ${origin} into ${name}"
        VERBATIM)
    set(include_dirs "${include_dir}")
    if(packed)
        get_property(player GLOBAL PROPERTY TIVRANO_PLAYER_DIR)
        list(APPEND include_dirs "${player}")
    endif()
    _tivrano_add_sources(${target} "${source};${header}" "${include_dirs}")
endfunction()

# The tool's options for the keywords that both functions take, parsed with `prefix`, as given:
# the tool checks them (_tivrano_check_options). `depends_var` gets the file MAP names, taken
# from CMAKE_CURRENT_SOURCE_DIR, on which the conversions depend.
function(_tivrano_tool_options out_var depends_var prefix)
    set(options)
    set(depends)
    if(NOT "${${prefix}_MAP}" STREQUAL "")
        get_filename_component(depends "${${prefix}_MAP}" ABSOLUTE
            BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        set(${prefix}_MAP "${depends}")
    endif()
    set(keywords ORDER START MAP TILES TILE_START GAMMA BRIGHTNESS MAX_CURRENT_MA LED_CURRENT
        FORMAT THRESHOLD MAX_BYTES)
    set(names order start map tiles tile-start gamma brightness max-current led-current format
        threshold max-bytes)
    foreach(keyword option IN ZIP_LISTS keywords names)
        if(NOT "${${prefix}_${keyword}}" STREQUAL "")
            list(APPEND options "--${option}=${${prefix}_${keyword}}")
        endif()
    endforeach()
    foreach(flag COLUMNS SERPENTINE TILE_COLUMNS TILE_SERPENTINE PROGMEM SWAP_BYTES)
        if(${prefix}_${flag})
            string(TOLOWER "--${flag}" option)
            string(REPLACE "_" "-" option "${option}")
            list(APPEND options ${option})
        endif()
    endforeach()
    set(${out_var} ${options} PARENT_SCOPE)
    set(${depends_var} ${depends} PARENT_SCOPE)
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
        set(scope INTERFACE)
    else()
        target_sources(${target} PRIVATE ${sources})
        set(scope PUBLIC)
    endif()
    if(include_dirs)
        target_include_directories(${target} ${scope} ${include_dirs})
    endif()
endfunction()

# The animation's sources as absolute paths in the order they are taken, checked: one GIF, or
# PNG files. `origin` says where the frames come from, for messages.
function(_tivrano_animation_sources caller sources_var origin_var)
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
    else()
        foreach(source suffix IN ZIP_LISTS ARGN suffixes)
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
        if(count GREATER 1)
            list(GET sources 0 first)
            set(origin "${count} PNG files, ${first} first")
        else()
            set(origin "${first}")
        endif()
    endif()
    set(${sources_var} ${sources} PARENT_SCOPE)
    set(${origin_var} "${origin}" PARENT_SCOPE)
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
# frame (or table) defines it already, or it is a name of the frames of an animation, NAME_0,
# NAME_0_size and so on, which that animation owns whatever its count.
function(_tivrano_claim_identifier caller identifier frame)
    set(claim "${frame} (${caller})")
    get_property(owner GLOBAL PROPERTY "TIVRANO_IDENTIFIER_${identifier}")
    if(NOT owner AND identifier MATCHES "^(.+)_[0-9]+(_size|_width|_height)?$")
        get_property(owner GLOBAL PROPERTY "TIVRANO_FRAMES_OF_${CMAKE_MATCH_1}")
    endif()
    if(owner)
        message(FATAL_ERROR "${caller}: the name ${identifier} is "
            "already defined for ${owner}, and again for ${claim}; every frame and animation "
            "needs a name of its own (NAMES, or an animation's NAME)")
    endif()
    set_property(GLOBAL PROPERTY "TIVRANO_IDENTIFIER_${identifier}" "${claim}")
    set_property(GLOBAL APPEND PROPERTY TIVRANO_IDENTIFIERS "${identifier}")
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
