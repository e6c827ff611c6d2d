# The two kinds of product target. Both land in build/bin and link the
# contract and the common helpers.

set(KOVA_BIN_DIR ${CMAKE_BINARY_DIR}/bin)

# kova_add_plugin(<deliverable> DEF <file.def> DESCRIPTION <text> CODE <library> [RC <file.rc>])
# Builds <deliverable>.dll from its code library (an OBJECT library of the
# plugin's sources, which its tests link too) with its exports listed in the
# .def file only.
function(kova_add_plugin name)
    cmake_parse_arguments(ARG "" "DEF;DESCRIPTION;CODE;RC" "" ${ARGN})
    add_library(${name} SHARED ${ARG_RC} ${ARG_DEF})
    set_target_properties(${name} PROPERTIES
        PREFIX "" OUTPUT_NAME ${name}
        RUNTIME_OUTPUT_DIRECTORY ${KOVA_BIN_DIR})
    target_link_libraries(${name} PRIVATE ${ARG_CODE} kova_shipped_link kova_def_exports)
    kova_register_shipped(${name} ${name}.dll VFT_DLL "${ARG_DESCRIPTION}")
endfunction()

# kova_add_plugin_code(<library> SOURCES ... [LIBS ...])
# A plugin's code as an OBJECT library: compiled once, with the product
# flags, for its DLL and its tests. Its folder is on the include path of
# whoever links it.
function(kova_add_plugin_code name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} OBJECT ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE kova_product)
    target_link_libraries(${name} PUBLIC kova_flags kova_contract kova_common ${ARG_LIBS})
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
    target_link_libraries(${target} PRIVATE kova_product kova_shipped_link kova_contract
        kova_common ${ARG_LIBS})
    if(ARG_SHIPPED)
        if(NOT ARG_DESCRIPTION)
            string(TOUPPER "${ARG_OUTPUT}" output_upper)
            set(ARG_DESCRIPTION "${KOVA_DESCRIPTION_${output_upper}}")
        endif()
        kova_register_shipped(${target} ${ARG_OUTPUT}.exe VFT_APP "${ARG_DESCRIPTION}")
    endif()
endfunction()
