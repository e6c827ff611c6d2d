# The demo program directory: what a user's KOVA directory looks like, with
# the stand-in as KOVA.EXE, every built plugin in PLUGIN\, and the idle
# plugins installed. `cmake --build build --target demo` builds it afresh in
# build/demo.

get_property(_shipped GLOBAL PROPERTY KOVA_SHIPPED_TARGETS)
set(_plugin_files "")
set(_programs "")
foreach(t IN LISTS _shipped)
    get_target_property(_type ${t} TYPE)
    if(_type STREQUAL "SHARED_LIBRARY")
        list(APPEND _plugin_files $<TARGET_FILE:${t}>)
    else()
        list(APPEND _programs $<TARGET_FILE:${t}>)
    endif()
endforeach()
# Hosted GPU plugins that the demo offers in PLUGIN\PSEMU\ (test builds).
get_property(_psemu GLOBAL PROPERTY KOVA_DEMO_PSEMU_FILES)

# The demo's disc image for cdimage (tools/demo/make-disc.sh), made with
# everything: the stand-in's tests read it too. It goes to DISCS\, with
# KOVADEMO.CHD, the same disc made by chdman where it is installed.
set(KOVA_DEMO_DISC_DIR ${CMAKE_BINARY_DIR}/disc)
add_custom_command(OUTPUT ${KOVA_DEMO_DISC_DIR}/KOVADEMO.CUE
    COMMAND sh ${CMAKE_SOURCE_DIR}/tools/demo/make-disc.sh ${KOVA_DEMO_DISC_DIR}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/demo/make-disc.sh
    COMMENT "Making the demo's disc image in ${KOVA_DEMO_DISC_DIR}"
    VERBATIM)
add_custom_target(demo_disc ALL DEPENDS ${KOVA_DEMO_DISC_DIR}/KOVADEMO.CUE)

set(KOVA_DEMO_DIR ${CMAKE_BINARY_DIR}/demo)
add_custom_target(demo
    COMMAND ${CMAKE_COMMAND}
        -DDEMO_DIR=${KOVA_DEMO_DIR}
        -DSTANDIN=$<TARGET_FILE:kova_standin>
        "-DPROGRAMS=${_programs}"
        "-DPLUGINS=${_plugin_files}"
        "-DPSEMU=${_psemu}"
        -DINI_TEMPLATE=${CMAKE_SOURCE_DIR}/tools/demo/KOVA.INI
        -DDISC_DIR=${KOVA_DEMO_DISC_DIR}
        -DMAKE_CARDS=$<TARGET_FILE:kova_make_cards>
        -DWINE_PREFIX=${CMAKE_BINARY_DIR}/wine-demo
        -P ${CMAKE_SOURCE_DIR}/cmake/assemble-demo.cmake
    DEPENDS kova_standin demo_disc kova_make_cards ${_shipped}
    COMMENT "Assembling the demo program directory in ${KOVA_DEMO_DIR}"
    VERBATIM)
