# tivrano_add_frames(<target> FRAMES <bmp>... [NAMES <ident>...] [HEADER <file.h>]
#                    [TABLE <ident>] [OUTPUT_DIR <dir>])
#
# Converts each BMP frame with tivrano at build time and adds the result to <target>, where it
# compiles with the target's own flags (a cross-compiler's too). For a frame named NAME:
#
#   const uint8_t NAME[];            the tool's array, pixels as green, red, blue, top row first
#   const size_t NAME_size;          the bytes in NAME
#   const int32_t NAME_width, NAME_height;   as the file's header holds them
#
# FRAMES      the BMP files; relative paths are taken from CMAKE_CURRENT_SOURCE_DIR.
# NAMES       one C identifier a frame, unique across the build; by default each file's stem,
#             made an identifier ("walk-1.bmp" is walk_1).
# HEADER      declares everything above, with extern "C" for C++; <target>_frames.h by default,
#             in OUTPUT_DIR unless absolute. Its folder is put on <target>'s include path.
# TABLE       also defines `const uint8_t *const TABLE[]` (the frames, in FRAMES order) and
#             `const size_t TABLE_count`.
# OUTPUT_DIR  where the generated files go; ${CMAKE_CURRENT_BINARY_DIR}/tivrano_<target> by
#             default.
#
# A frame is converted again when its BMP, the tool or this package changes, and only then. A
# failed conversion stops the build with the tool's message and leaves no output behind, so the
# next build tries again. The converter runs on the build machine: the cache variable
# TIVRANO_EXECUTABLE names it; otherwise it is tivrano::tivrano, or, when cross-compiling, a
# tivrano found among the build machine's programs.
include_guard(GLOBAL)
if(CMAKE_VERSION VERSION_LESS 3.18)
    message(FATAL_ERROR "tivrano_add_frames needs CMake 3.18 or later")
endif()

function(tivrano_add_frames target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "HEADER;TABLE;OUTPUT_DIR" "FRAMES;NAMES")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "tivrano_add_frames: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT TARGET ${target})
        message(FATAL_ERROR "tivrano_add_frames: ${target} is not a target")
    endif()
    if(NOT arg_FRAMES)
        message(FATAL_ERROR "tivrano_add_frames(${target}): no FRAMES given")
    endif()

    set(names ${arg_NAMES})
    if(NOT names)
        foreach(frame IN LISTS arg_FRAMES)
            get_filename_component(stem "${frame}" NAME_WE)
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

    # Every identifier the frames define, checked before anything is generated.
    set(identifiers)
    foreach(name IN LISTS names)
        list(APPEND identifiers ${name} ${name}_size ${name}_width ${name}_height)
    endforeach()
    if(arg_TABLE)
        list(APPEND identifiers ${arg_TABLE} ${arg_TABLE}_count)
    endif()
    foreach(identifier IN LISTS names arg_TABLE)
        _tivrano_check_identifier("${target}" "${identifier}")
    endforeach()
    foreach(identifier IN LISTS identifiers)
        get_property(owner GLOBAL PROPERTY "TIVRANO_IDENTIFIER_${identifier}")
        if(owner)
            message(FATAL_ERROR "tivrano_add_frames(${target}): the name ${identifier} is "
                "already defined by ${owner}; every frame needs a name of its own (NAMES)")
        endif()
        set_property(GLOBAL PROPERTY "TIVRANO_IDENTIFIER_${identifier}" "tivrano_add_frames(${target})")
    endforeach()

    get_property(owner GLOBAL PROPERTY "TIVRANO_HEADER_${header}")
    if(owner)
        message(FATAL_ERROR "tivrano_add_frames(${target}): ${header} is written by ${owner} "
            "already; give this call a HEADER of its own")
    endif()
    set_property(GLOBAL PROPERTY "TIVRANO_HEADER_${header}" "tivrano_add_frames(${target})")

    _tivrano_converter(tool tool_depends)
    set(script "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/tivrano_convert_frame.cmake")
    # C where the project compiles C, else C++; the header gives both the same linkage.
    get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
    if("C" IN_LIST languages)
        set(extension c)
    else()
        set(extension cpp)
    endif()

    set(declarations)
    set(sources)
    foreach(frame name IN ZIP_LISTS arg_FRAMES names)
        get_filename_component(bmp "${frame}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        set(text "${output_dir}/${name}.inc")
        set(source "${output_dir}/${name}.${extension}")
        add_custom_command(
            OUTPUT "${text}" "${source}"
            COMMAND "${CMAKE_COMMAND}" "-DTOOL=${tool}" "-DBMP=${bmp}" "-DNAME=${name}"
                "-DTEXT=${text}" "-DSOURCE=${source}" "-DHEADER=${header_include}"
                -P "${script}"
            DEPENDS "${bmp}" ${tool_depends} "${script}"
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

    string(MAKE_C_IDENTIFIER "${header_include}" guard)
    string(TOUPPER "${guard}_INCLUDED" guard)
    file(CONFIGURE OUTPUT "${header}" CONTENT
"/* Frames converted by tivrano for ${target}. Generated by tivrano_add_frames; do not edit. */
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

# Refuses what is not a C identifier, a C or C++ keyword among them.
function(_tivrano_check_identifier target identifier)
    set(keywords
        auto bool break case char const continue default do double else enum extern false float
        for goto if inline int long register restrict return short signed sizeof static struct
        switch true typedef union unsigned void volatile while class delete new namespace
        operator private protected public template this throw try catch virtual)
    if(NOT identifier MATCHES "^[A-Za-z_][A-Za-z0-9_]*$" OR identifier IN_LIST keywords)
        message(FATAL_ERROR "tivrano_add_frames(${target}): \"${identifier}\" is not a C "
            "identifier; name the frame with NAMES")
    endif()
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
