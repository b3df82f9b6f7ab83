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
include_guard(GLOBAL)
if(CMAKE_VERSION VERSION_LESS 3.18)
    message(FATAL_ERROR "tivrano_add_frames needs CMake 3.18 or later")
endif()

function(tivrano_add_frames target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "COLUMNS;SERPENTINE;PROGMEM;ALLOW_WARNINGS"
        "HEADER;TABLE;OUTPUT_DIR;ORDER;START" "FRAMES;NAMES")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "tivrano_add_frames: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT TARGET ${target})
        message(FATAL_ERROR "tivrano_add_frames: ${target} is not a target")
    endif()
    if(NOT arg_FRAMES)
        message(FATAL_ERROR "tivrano_add_frames(${target}): no FRAMES given")
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
        message(FATAL_ERROR "tivrano_add_frames(${target}): ${frame_count} FRAMES but "
            "${name_count} NAMES; give one name a frame")
    endif()

    set(output_dir "${arg_OUTPUT_DIR}")
    if(NOT output_dir)
        set(output_dir "${CMAKE_CURRENT_BINARY_DIR}/tivrano_${target}")
    endif()
    get_filename_component(output_dir "${output_dir}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
    set(header "${arg_HEADER}")
    if(NOT header)
        set(header "${target}_frames.h")
    endif()
    if(IS_ABSOLUTE "${header}")
        get_filename_component(include_dir "${header}" DIRECTORY)
        get_filename_component(header_include "${header}" NAME)
    else()
        set(include_dir "${output_dir}")
        set(header_include "${header}")
        set(header "${output_dir}/${header}")
    endif()

    # Every identifier the frames define, checked before anything is generated, each with
    # where it comes from.
    foreach(frame name IN ZIP_LISTS arg_FRAMES names)
        _tivrano_check_identifier("${target}" "${name}" "frame ${frame}")
        foreach(identifier ${name} ${name}_size ${name}_width ${name}_height)
            _tivrano_claim_identifier("${target}" "${identifier}" "${frame}")
        endforeach()
    endforeach()
    if(arg_TABLE)
        _tivrano_check_identifier("${target}" "${arg_TABLE}" "TABLE")
        foreach(identifier ${arg_TABLE} ${arg_TABLE}_count)
            _tivrano_claim_identifier("${target}" "${identifier}" "its TABLE")
        endforeach()
    endif()

    get_property(owner GLOBAL PROPERTY "TIVRANO_HEADER_${header}")
    if(owner)
        message(FATAL_ERROR "tivrano_add_frames(${target}): ${header} is written by ${owner} "
            "already; give this call a HEADER of its own")
    endif()
    set_property(GLOBAL PROPERTY "TIVRANO_HEADER_${header}" "tivrano_add_frames(${target})")

    _tivrano_converter(tool tool_depends)
    # C where the project compiles C, else C++; the sources give both the same linkage.
    get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
    if("C" IN_LIST languages)
        set(extension c)
    else()
        set(extension cpp)
    endif()

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

# Refuses what cannot name a frame: anything but a C identifier, a keyword of C23 or C++20 (the
# alternative tokens such as `and` among them), main, and names reserved for the compiler and
# its library. The tool refuses the same.
function(_tivrano_check_identifier target identifier what)
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
    message(FATAL_ERROR "tivrano_add_frames(${target}): the name \"${identifier}\" of ${what} "
        "${problem}; name it with NAMES")
endfunction()

# Records that `identifier` is defined for `frame`, or stops naming both files when another
# frame (or table) defines it already.
function(_tivrano_claim_identifier target identifier frame)
    set(claim "${frame} (tivrano_add_frames(${target}))")
    get_property(owner GLOBAL PROPERTY "TIVRANO_IDENTIFIER_${identifier}")
    if(owner)
        message(FATAL_ERROR "tivrano_add_frames(${target}): the name ${identifier} is "
            "already defined for ${owner}, and again for ${claim}; every frame needs a name "
            "of its own (NAMES)")
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
