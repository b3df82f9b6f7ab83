# tivrano_add_frames(<target> FRAMES <bmp>... [NAMES <ident>...] [HEADER <file.h>]
#                    [TABLE <ident>] [OUTPUT_DIR <dir>]
#                    [ORDER <order>] [START <corner>] [COLUMNS] [SERPENTINE] [PROGMEM]
#                    [ALLOW_WARNINGS])
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
#             walk_1). Keywords of C and C++, main and reserved names are refused.
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
# PROGMEM     on an AVR the frames go to flash memory: read them with pgm_read_byte.
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
#                       [OUTPUT_DIR <dir>] [ORDER <order>] [START <corner>] [COLUMNS]
#                       [SERPENTINE] [PROGMEM])
#
# Adds an animation as a pixel editor wrote it, an animated GIF or PNG frames, to <target>:
#
#   const uint8_t NAME_0[] ... NAME_<n-1>[]   each frame, with _size, _width and _height
#   const uint8_t *const NAME[];              the frames in order
#   const size_t NAME_count;                  n
#   const int32_t NAME_width, NAME_height;    the size of every frame
#   const uint16_t NAME_delay_ms[];           how long each frame is shown, in milliseconds
#
# SOURCE      one GIF, or PNG files of one size; relative paths are taken from
#             CMAKE_CURRENT_SOURCE_DIR. The GIF's frames are taken whole, as the GIF shows them
#             (its partial updates and disposal applied), with its delays. PNGs are taken in
#             the order given, except that a list in plain text order, as file(GLOB) gives it,
#             is put in the order of the numbers in the names: f9 before f10.
# HEADER      declares everything above; NAME.h by default, in OUTPUT_DIR unless absolute.
# BACKGROUND  what transparent pixels are laid on: an ImageMagick colour (black, #102030,
#             rgb(16,32,48)); black, an unlit LED, by default.
# DELAY_MS    each PNG frame's delay, 0 to 65535; 100 by default. A GIF has its own.
# OUTPUT_DIR, ORDER, START, COLUMNS, SERPENTINE, PROGMEM
#             as for tivrano_add_frames; with PROGMEM, NAME[] and NAME_delay_ms[] are in flash
#             memory too: read them with pgm_read_ptr and pgm_read_word.
#
# ImageMagick splits the animation at configure time, since the frame count decides which
# sources there are, into plain 24-bit BMPs in OUTPUT_DIR that tivrano_add_frames converts. The
# sources are configure dependencies: editing one re-runs the configure on the next build, and
# only the frames that changed are converted again. ImageMagick runs on the build machine; the
# cache variable TIVRANO_IMAGEMAGICK names its magick (7) or convert (6) outright.
include_guard(GLOBAL)
if(CMAKE_VERSION VERSION_LESS 3.18)
    message(FATAL_ERROR "tivrano_add_frames and tivrano_add_animation need CMake 3.18 or later")
endif()

function(tivrano_add_frames target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "COLUMNS;SERPENTINE;PROGMEM;ALLOW_WARNINGS"
        "HEADER;TABLE;OUTPUT_DIR;ORDER;START" "FRAMES;NAMES")
    # Messages name the call the user wrote: tivrano_add_animation sets _tivrano_caller for
    # the frames it hands on.
    set(caller "tivrano_add_frames(${target})")
    if(_tivrano_caller)
        set(caller "${_tivrano_caller}")
    endif()
    _tivrano_check_call("${caller}" "${target}" "${arg_UNPARSED_ARGUMENTS}")
    if(NOT arg_FRAMES)
        message(FATAL_ERROR "${caller}: no FRAMES given")
    endif()

    # What every frame of this call is converted with; the tool checks the values.
    set(options)
    if(NOT arg_ALLOW_WARNINGS)
        list(APPEND options --strict)
    endif()
    if(arg_ORDER)
        list(APPEND options "--order=${arg_ORDER}")
    endif()
    if(arg_START)
        list(APPEND options "--start=${arg_START}")
    endif()
    foreach(flag COLUMNS SERPENTINE PROGMEM)
        if(arg_${flag})
            string(TOLOWER "--${flag}" option)
            list(APPEND options ${option})
        endif()
    endforeach()

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

    _tivrano_places("${caller}" "${target}" "${arg_OUTPUT_DIR}" "${arg_HEADER}"
        "${target}_frames.h")

    # Every identifier the frames define, checked before anything is generated, each with
    # where it comes from.
    foreach(frame name IN ZIP_LISTS arg_FRAMES names)
        _tivrano_check_identifier("${caller}" "${name}" "frame ${frame}" "name it with NAMES")
        foreach(identifier ${name} ${name}_size ${name}_width ${name}_height)
            _tivrano_claim_identifier("${caller}" "${identifier}" "${frame}")
        endforeach()
    endforeach()
    if(arg_TABLE)
        _tivrano_check_identifier("${caller}" "${arg_TABLE}" "TABLE" "name it with NAMES")
        foreach(identifier ${arg_TABLE} ${arg_TABLE}_count)
            _tivrano_claim_identifier("${caller}" "${identifier}" "its TABLE")
        endforeach()
    endif()

    _tivrano_converter(tool tool_depends)

    set(declarations)
    set(sources)
    file(MAKE_DIRECTORY "${output_dir}")
    foreach(frame name IN ZIP_LISTS arg_FRAMES names)
        get_filename_component(bmp "${frame}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
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

    if(arg_TABLE)
        string(APPEND declarations
            "\n/* The frames in the order given. */\n"
            "extern const uint8_t *const ${arg_TABLE}[];\n"
            "extern const size_t ${arg_TABLE}_count;\n")
        list(JOIN names ", " members)
        set(table_source "${output_dir}/${arg_TABLE}.${extension}")
        file(CONFIGURE OUTPUT "${table_source}" CONTENT
"/* Generated by tivrano_add_frames; do not edit. */
#include \"${header_include}\"

const uint8_t *const ${arg_TABLE}[] = {${members}};
const size_t ${arg_TABLE}_count = sizeof ${arg_TABLE} / sizeof ${arg_TABLE}[0];
")
        list(APPEND sources "${table_source}")
    endif()

    set(where "")
    if(arg_PROGMEM)
        set(where "On an AVR the frames are in flash memory: read them with pgm_read_byte. ")
    endif()
    string(MAKE_C_IDENTIFIER "${header_include}" guard)
    string(TOUPPER "${guard}_INCLUDED" guard)
    file(CONFIGURE OUTPUT "${header}" CONTENT
"/* Frames converted by tivrano for ${target}. ${where}Generated by tivrano_add_frames; do not
   edit. */
#ifndef ${guard}
#define ${guard}

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern \"C\" {
#endif

${declarations}
#ifdef __cplusplus
}
#endif

#endif
")
    target_sources(${target} PRIVATE ${sources})
    target_include_directories(${target} PUBLIC "${include_dir}")
endfunction()

function(tivrano_add_animation target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "COLUMNS;SERPENTINE;PROGMEM"
        "NAME;HEADER;BACKGROUND;DELAY_MS;OUTPUT_DIR;ORDER;START" "SOURCE")
    set(caller "tivrano_add_animation(${target})")
    _tivrano_check_call("${caller}" "${target}" "${arg_UNPARSED_ARGUMENTS}")
    if(NOT arg_NAME OR NOT arg_SOURCE)
        message(FATAL_ERROR "${caller}: give the animation a NAME and its SOURCE")
    endif()
    set(name "${arg_NAME}")
    _tivrano_check_identifier("${caller}" "${name}" "the animation" "choose another NAME")

    set(sources)
    foreach(source IN LISTS arg_SOURCE)
        get_filename_component(path "${source}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        if(NOT EXISTS "${path}" OR IS_DIRECTORY "${path}")
            message(FATAL_ERROR "${caller}: the SOURCE ${source} is not a file")
        endif()
        list(APPEND sources "${path}")
    endforeach()
    list(LENGTH sources source_count)
    list(GET arg_SOURCE 0 first)
    get_filename_component(suffix "${first}" LAST_EXT)
    string(TOLOWER "${suffix}" suffix)
    if(suffix STREQUAL ".gif")
        if(source_count GREATER 1)
            message(FATAL_ERROR "${caller}: SOURCE takes one GIF, or PNG frames; "
                "${source_count} files were given with ${first}")
        endif()
        if(DEFINED arg_DELAY_MS)
            message(FATAL_ERROR "${caller}: DELAY_MS is for PNG frames; the GIF ${first} "
                "holds its own delays")
        endif()
        set(origin "${first}")
        # The frames as the GIF shows them, not as it stores them.
        set(whole -coalesce)
    else()
        foreach(source IN LISTS sources)
            get_filename_component(suffix "${source}" LAST_EXT)
            string(TOLOWER "${suffix}" suffix)
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
        set(delay_ms 100)
        if(DEFINED arg_DELAY_MS)
            set(delay_ms "${arg_DELAY_MS}")
        endif()
        if(NOT delay_ms MATCHES "^[0-9]+$" OR delay_ms GREATER 65535)
            message(FATAL_ERROR "${caller}: DELAY_MS ${delay_ms} is not a whole number of "
                "milliseconds from 0 to 65535")
        endif()
        list(GET sources 0 first)
        set(origin "${source_count} PNG files, ${first} first")
        set(whole)
    endif()
    set(background black)
    if(arg_BACKGROUND)
        set(background "${arg_BACKGROUND}")
    endif()

    _tivrano_places("${caller}" "${target}" "${arg_OUTPUT_DIR}" "${arg_HEADER}" "${name}.h")
    foreach(identifier ${name} ${name}_count ${name}_width ${name}_height ${name}_delay_ms)
        _tivrano_claim_identifier("${caller}" "${identifier}" "the animation of ${origin}")
    endforeach()
    set(table_source "${output_dir}/${name}.${extension}")

    # The split goes to a folder of its own, and the frames folder gets only what changed, so
    # that an unchanged frame keeps its time and is not converted again. A failed split leaves
    # neither folder, nor the headers and sources of an earlier one.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${sources})
    _tivrano_imagemagick("${caller}" magick)
    if(arg_BACKGROUND)
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
    file(GLOB earlier "${frames_dir}/*")
    _tivrano_frame_files("${output_dir}" made ${earlier})
    list(APPEND made "${frames_dir}" "${split_dir}" "${header}" "${output_dir}/${name}_frames.h"
        "${table_source}")
    file(REMOVE_RECURSE "${split_dir}")
    file(MAKE_DIRECTORY "${split_dir}")
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
    set(failure)
    if(NOT status EQUAL 0)
        set(failure "status ${status}")
    elseif(frame_count EQUAL 0 OR NOT frame_count EQUAL described_count)
        set(failure "${frame_count} frames written, ${described_count} described")
    elseif(NOT whole AND NOT frame_count EQUAL source_count)
        set(failure "${frame_count} frames from ${source_count} PNG files")
    endif()
    if(failure)
        file(REMOVE_RECURSE ${made})
        message(FATAL_ERROR "${caller}: ImageMagick (${magick}) could not split ${origin} "
            "into frames (${failure}); it says:\n${complaints}")
    endif()
    if(complaints)
        message(WARNING "${caller}: ImageMagick, reading ${origin}, says:\n${complaints}")
    endif()

    # Every frame has the animation's size, and a delay that fits a uint16_t.
    set(delays)
    set(problem)
    math(EXPR last "${frame_count} - 1")
    foreach(k RANGE ${last})
        list(GET described ${k} description)
        separate_arguments(description UNIX_COMMAND "${description}")
        list(GET description 0 width)
        list(GET description 1 height)
        if(k EQUAL 0)
            set(animation_width ${width})
            set(animation_height ${height})
        elseif(NOT width EQUAL animation_width OR NOT height EQUAL animation_height)
            list(GET sources ${k} source)
            string(CONCAT problem "${source} is ${width} x ${height} pixels, the frames before "
                "it ${animation_width} x ${animation_height}; every frame needs the same size")
            break()
        endif()
        if(whole)
            # GIF delays are in hundredths of a second.
            list(GET description 2 ticks)
            math(EXPR delay_ms "${ticks} * 10")
            if(delay_ms GREATER 65535)
                string(CONCAT problem "frame ${k} of ${first} is shown for ${delay_ms} ms, "
                    "more than the 65535 that ${name}_delay_ms (uint16_t) holds")
                break()
            endif()
        endif()
        list(APPEND delays ${delay_ms})
    endforeach()
    if(problem)
        file(REMOVE_RECURSE ${made})
        message(FATAL_ERROR "${caller}: ${problem}")
    endif()

    set(frames)
    set(names)
    file(MAKE_DIRECTORY "${frames_dir}")
    foreach(k RANGE ${last})
        list(GET split ${k} new)
        set(frame "${frames_dir}/${name}_${k}.bmp")
        _tivrano_replace_if_different("${new}" "${frame}")
        list(APPEND frames "${frame}")
        list(APPEND names "${name}_${k}")
    endforeach()
    # What is left there is from an animation with more frames.
    file(GLOB stale "${frames_dir}/*")
    list(REMOVE_ITEM stale ${frames})
    _tivrano_frame_files("${output_dir}" stale ${stale})
    file(REMOVE_RECURSE "${split_dir}" ${stale})

    set(layout)
    foreach(keyword ORDER START)
        if(arg_${keyword})
            list(APPEND layout ${keyword} "${arg_${keyword}}")
        endif()
    endforeach()
    foreach(flag COLUMNS SERPENTINE PROGMEM)
        if(arg_${flag})
            list(APPEND layout ${flag})
        endif()
    endforeach()
    set(_tivrano_caller "${caller}")
    tivrano_add_frames(${target} FRAMES ${frames} NAMES ${names} HEADER "${name}_frames.h"
        OUTPUT_DIR "${output_dir}" ${layout})

    set(where "")
    set(placement "")
    set(prologue "")
    if(arg_PROGMEM)
        set(where "On an AVR the frames, the table and the delays are in flash memory: read
   them with pgm_read_byte, pgm_read_ptr and pgm_read_word. ")
        set(placement " PROGMEM")
        set(prologue "#ifdef __AVR__
#include <avr/pgmspace.h>
#endif
#ifndef PROGMEM
#define PROGMEM
#endif
")
    endif()
    list(JOIN names ", " members)
    list(JOIN delays ", " delay_list)
    file(CONFIGURE OUTPUT "${table_source}" CONTENT
"/* Generated by tivrano_add_animation; do not edit. */
#include \"${header_include}\"
${prologue}
const uint8_t *const ${name}[]${placement} = {${members}};
const size_t ${name}_count = sizeof ${name} / sizeof ${name}[0];
const int32_t ${name}_width = ${animation_width}, ${name}_height = ${animation_height};
const uint16_t ${name}_delay_ms[]${placement} = {${delay_list}};
")
    string(MAKE_C_IDENTIFIER "${header_include}" guard)
    string(TOUPPER "${guard}_INCLUDED" guard)
    file(CONFIGURE OUTPUT "${header}" CONTENT
"/* The animation ${name}: ${frame_count} frames of ${animation_width} x ${animation_height} pixels
   from ${origin}, converted by tivrano for ${target}. ${where}Generated by
   tivrano_add_animation; do not edit. */
#ifndef ${guard}
#define ${guard}

#include \"${name}_frames.h\"

#ifdef __cplusplus
extern \"C\" {
#endif

/* The frames in order, ${name}_count of them, each ${name}_width x ${name}_height pixels. */
extern const uint8_t *const ${name}[];
extern const size_t ${name}_count;
extern const int32_t ${name}_width, ${name}_height;
/* How long each frame is shown, in milliseconds. */
extern const uint16_t ${name}_delay_ms[];

#ifdef __cplusplus
}
#endif

#endif
")
    target_sources(${target} PRIVATE "${table_source}")
    target_include_directories(${target} PUBLIC "${include_dir}")
endfunction()

# Refuses what cannot name a frame or an animation, with `remedy` saying what to do instead:
# anything but a C identifier, a keyword of C23 or C++20 (the alternative tokens such as `and`
# among them), main, and names reserved for the compiler and its library. The tool refuses the
# same.
function(_tivrano_check_identifier caller identifier what remedy)
    set(keywords
        alignas alignof and and_eq asm auto bitand bitor bool break case catch char char8_t
        char16_t char32_t class co_await co_return co_yield compl concept const const_cast
        consteval constexpr constinit continue decltype default delete do double dynamic_cast
        else enum explicit export extern false float for friend goto if inline int long mutable
        namespace new noexcept not not_eq nullptr operator or or_eq private protected public
        register reinterpret_cast requires restrict return short signed sizeof static
        static_assert static_cast struct switch template this thread_local throw true try
        typedef typeid typename typeof typeof_unqual union unsigned using virtual void volatile
        wchar_t while xor xor_eq)
    if(NOT identifier MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
        set(problem "is not a C identifier")
    elseif(identifier IN_LIST keywords)
        set(problem "is a keyword of C or C++")
    elseif(identifier STREQUAL "main")
        set(problem "is the program's entry point")
    elseif(identifier MATCHES "^(__|_[A-Z])")
        set(problem "is reserved for the compiler (it starts with __ or _ and a capital)")
    else()
        return()
    endif()
    message(FATAL_ERROR "${caller}: the name \"${identifier}\" of ${what} ${problem}; "
        "${remedy}")
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

# The given frames of an animation, with the sources converted from them.
function(_tivrano_frame_files output_dir files_var)
    set(files ${ARGN})
    foreach(frame IN LISTS ARGN)
        get_filename_component(frame_name "${frame}" NAME_WE)
        list(APPEND files "${output_dir}/${frame_name}.c" "${output_dir}/${frame_name}.cpp")
    endforeach()
    set(${files_var} ${files} PARENT_SCOPE)
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
