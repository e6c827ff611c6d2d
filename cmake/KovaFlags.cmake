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

# kova_add_plugin(<deliverable> DEF <file.def> SOURCES ... [LIBS ...] [RC ...])
# Builds <deliverable>.dll with its exports listed in the .def file only.
function(kova_add_plugin name)
    cmake_parse_arguments(ARG "" "DEF" "SOURCES;LIBS;RC" ${ARGN})
    add_library(${name} SHARED ${ARG_SOURCES} ${ARG_RC} ${ARG_DEF})
    set_target_properties(${name} PROPERTIES
        PREFIX "" OUTPUT_NAME ${name}
        RUNTIME_OUTPUT_DIRECTORY ${KOVA_BIN_DIR})
    # The .def file is the one list of exports; nothing else is exported.
    target_link_options(${name} PRIVATE -Wl,--kill-at -Wl,--exclude-all-symbols)
    target_link_libraries(${name} PRIVATE kova_product kova_contract kova_common ${ARG_LIBS})
    set_property(GLOBAL APPEND PROPERTY KOVA_SHIPPED_TARGETS ${name})
endfunction()

# kova_add_program(<target> OUTPUT <name> SOURCES ... [LIBS ...] [SHIPPED])
function(kova_add_program target)
    cmake_parse_arguments(ARG "SHIPPED;CONSOLE" "OUTPUT" "SOURCES;LIBS" ${ARGN})
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
        set_property(GLOBAL APPEND PROPERTY KOVA_SHIPPED_TARGETS ${target})
    endif()
endfunction()
