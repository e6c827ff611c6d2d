# Compiler and linker settings shared by every target.
#
# kova_flags     - warnings as errors; linked by product and test code alike.
# kova_product   - what every shipped binary adds: no exceptions, no RTTI, and
#                  the GCC runtime linked in, so that a binary imports only
#                  system DLLs.

add_library(kova_flags INTERFACE)
target_compile_options(kova_flags INTERFACE
    -Wall -Wextra -Werror -Wshadow -Wformat=2 -Wundef -Wcast-align
    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)
target_compile_definitions(kova_flags INTERFACE
    WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 WINVER=0x0501 NOMINMAX)
target_compile_features(kova_flags INTERFACE cxx_std_17)

add_library(kova_product INTERFACE)
target_compile_options(kova_product INTERFACE
    -Os -ffunction-sections -fdata-sections
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>)
target_link_options(kova_product INTERFACE
    -static -static-libgcc -static-libstdc++ -s -Wl,--gc-sections)
target_link_libraries(kova_product INTERFACE kova_flags)

# Every shipped binary, for the binary checks and the release package.
set_property(GLOBAL PROPERTY KOVA_SHIPPED_TARGETS "")

set(KOVA_BIN_DIR ${CMAKE_BINARY_DIR}/bin)

# ---- Version record ----
#
# Every shipped binary carries a VERSIONINFO resource: product "KOVA", the
# project's version, its own file name and a description saying what it is.
# It is generated per target from cmake/KovaVersion.rc.in and linked beside
# the target's own .rc, if it has one (the linker merges the resource
# sections; the version test checks that both survive).
set(KOVA_COMPANY "The KOVA project")
set(KOVA_COPYRIGHT "Copyright (C) The KOVA project")

# Descriptions of shipped programs whose CMakeLists give none.
set(KOVA_DESCRIPTION_KOVACFG
    "KOVA configurator: chooses the options and plugins and starts KOVA.EXE")

function(kova_add_version_resource target fileName fileType description)
    if(NOT description)
        message(FATAL_ERROR "${target}: a shipped binary needs a DESCRIPTION")
    endif()
    # An RC string doubles its quotes.
    string(REPLACE "\"" "\"\"" KOVA_VI_DESCRIPTION "${description}")
    set(KOVA_VI_FILE ${fileName})
    get_filename_component(KOVA_VI_INTERNAL ${fileName} NAME_WE)
    set(KOVA_VI_TYPE ${fileType})
    set(KOVA_VI_MAJOR ${PROJECT_VERSION_MAJOR})
    set(KOVA_VI_MINOR ${PROJECT_VERSION_MINOR})
    set(KOVA_VI_COMPANY ${KOVA_COMPANY})
    set(KOVA_VI_COPYRIGHT ${KOVA_COPYRIGHT})
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.version.rc)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/KovaVersion.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()

# kova_add_plugin(<deliverable> DEF <file.def> DESCRIPTION <text> SOURCES ... [LIBS ...] [RC ...])
# Builds <deliverable>.dll with its exports listed in the .def file only.
function(kova_add_plugin name)
    cmake_parse_arguments(ARG "" "DEF;DESCRIPTION" "SOURCES;LIBS;RC" ${ARGN})
    add_library(${name} SHARED ${ARG_SOURCES} ${ARG_RC} ${ARG_DEF})
    set_target_properties(${name} PROPERTIES
        PREFIX "" OUTPUT_NAME ${name}
        RUNTIME_OUTPUT_DIRECTORY ${KOVA_BIN_DIR})
    # The .def file is the one list of exports; nothing else is exported.
    target_link_options(${name} PRIVATE -Wl,--kill-at -Wl,--exclude-all-symbols)
    target_link_libraries(${name} PRIVATE kova_product kova_contract kova_common ${ARG_LIBS})
    kova_add_version_resource(${name} ${name}.dll VFT_DLL "${ARG_DESCRIPTION}")
    set_property(GLOBAL APPEND PROPERTY KOVA_SHIPPED_TARGETS ${name})
endfunction()

# kova_add_program(<target> OUTPUT <name> SOURCES ... [LIBS ...] [SHIPPED [DESCRIPTION <text>]] [CONSOLE])
function(kova_add_program target)
    cmake_parse_arguments(ARG "SHIPPED;CONSOLE" "OUTPUT;DESCRIPTION" "SOURCES;LIBS" ${ARGN})
    if(ARG_CONSOLE)
        add_executable(${target} ${ARG_SOURCES})
    else()
        add_executable(${target} WIN32 ${ARG_SOURCES})
    endif()
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME ${ARG_OUTPUT}
        RUNTIME_OUTPUT_DIRECTORY ${KOVA_BIN_DIR})
    target_link_libraries(${target} PRIVATE kova_product kova_contract kova_common ${ARG_LIBS})
    if(ARG_SHIPPED)
        if(NOT ARG_DESCRIPTION)
            string(TOUPPER "${ARG_OUTPUT}" output_upper)
            set(ARG_DESCRIPTION "${KOVA_DESCRIPTION_${output_upper}}")
        endif()
        kova_add_version_resource(${target} ${ARG_OUTPUT}.exe VFT_APP "${ARG_DESCRIPTION}")
        set_property(GLOBAL APPEND PROPERTY KOVA_SHIPPED_TARGETS ${target})
    endif()
endfunction()

# build/kova-shipped.txt: the full path of every shipped binary, one a line,
# for scripts that report on them (scripts/bench.sh). Written once every
# directory has added its targets.
function(_kova_write_shipped_list)
    get_property(shipped GLOBAL PROPERTY KOVA_SHIPPED_TARGETS)
    set(lines "")
    foreach(t IN LISTS shipped)
        string(APPEND lines "$<TARGET_FILE:${t}>\n")
    endforeach()
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/kova-shipped.txt CONTENT "${lines}")
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _kova_write_shipped_list)
