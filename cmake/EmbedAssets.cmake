# Turns every file under a folder into byte arrays compiled into a static library.
#
# velto_embed_assets(<target> DIR <folder> HEADER <include path of the table header>)
#   Creates the static library <target> holding one generated source file that
#   defines `std::span<const EmbeddedFile> EmbeddedWebFiles()` (namespace
#   Velto::Corvane), one row per file, named by its path relative to <folder>
#   with "/" separators. Names that begin with "." (at any level) are left out.
#   Adding or removing a file re-runs the configure step (CONFIGURE_DEPENDS);
#   editing one regenerates the source.
#
# The same file runs in script mode (cmake -P) to do the generation itself.

if(CMAKE_SCRIPT_MODE_FILE)
    # Script mode: VELTO_EMBED_DIR, VELTO_EMBED_OUT, VELTO_EMBED_HEADER and
    # VELTO_EMBED_FILES ("|"-separated relative names) come from the command line.
    string(REPLACE "|" ";" files "${VELTO_EMBED_FILES}")
    set(bytes_per_line 32)
    set(body "")
    set(rows "")
    set(index 0)
    foreach(name IN LISTS files)
        file(READ "${VELTO_EMBED_DIR}/${name}" hex HEX)
        string(LENGTH "${hex}" hex_length)
        math(EXPR size "${hex_length} / 2")
        # Lines of 32 bytes, then one "\xHH" escape per byte; every byte is
        # escaped, so no escape can swallow the character after it.
        string(REPEAT "[0-9a-f][0-9a-f]" ${bytes_per_line} line_pattern)
        string(REGEX REPLACE "(${line_pattern})" "\\1|" lined "${hex}")
        string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${lined}")
        string(REPLACE "|" "\"\n    \"" escaped "${escaped}")
        string(APPEND body "// ${name}\nconstexpr char kFile${index}[] =\n    \"${escaped}\";\n\n")
        string(APPEND rows "        {\"${name}\", std::string_view{kFile${index}, ${size}}},\n")
        math(EXPR index "${index} + 1")
    endforeach()
    if(index EQUAL 0)
        set(table "    return {};\n")
    else()
        set(table "    static constexpr EmbeddedFile kTable[] = {\n${rows}    };\n    return kTable;\n")
    endif()
    set(text "// Generated from the web folder at build time; do not edit.\n#include \"${VELTO_EMBED_HEADER}\"\n\nnamespace Velto::Corvane {\nnamespace {\n\n${body}} // namespace\n\nstd::span<const EmbeddedFile> EmbeddedWebFiles() {\n${table}}\n\n} // namespace Velto::Corvane\n")
    # Write only when something changed, so an unchanged tree does not recompile.
    if(EXISTS "${VELTO_EMBED_OUT}")
        file(READ "${VELTO_EMBED_OUT}" old)
        if(old STREQUAL text)
            return()
        endif()
    endif()
    file(WRITE "${VELTO_EMBED_OUT}" "${text}")
    return()
endif()

set(VELTO_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(velto_embed_assets target)
    cmake_parse_arguments(ARG "" "DIR;HEADER" "" ${ARGN})
    file(GLOB_RECURSE found CONFIGURE_DEPENDS LIST_DIRECTORIES false RELATIVE ${ARG_DIR} ${ARG_DIR}/*)
    set(names "")
    set(inputs "")
    foreach(name IN LISTS found)
        if(name MATCHES "(^|/)\\.")
            continue()
        endif()
        if(NOT name MATCHES "^[A-Za-z0-9._/-]+$")
            message(FATAL_ERROR "Cannot embed ${ARG_DIR}/${name}: use letters, digits, '.', '_', '-' and '/' in names")
        endif()
        list(APPEND names ${name})
        list(APPEND inputs ${ARG_DIR}/${name})
    endforeach()
    list(SORT names)
    string(REPLACE ";" "|" joined "${names}")
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_data.cpp)
    add_custom_command(
        OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -DVELTO_EMBED_DIR=${ARG_DIR} -DVELTO_EMBED_OUT=${out}
                -DVELTO_EMBED_HEADER=${ARG_HEADER} -DVELTO_EMBED_FILES=${joined}
                -P ${VELTO_EMBED_SCRIPT}
        DEPENDS ${inputs} ${VELTO_EMBED_SCRIPT}
        COMMENT "Embedding ${ARG_DIR}"
        VERBATIM)
    add_library(${target} STATIC ${out})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC velto_options)
endfunction()
