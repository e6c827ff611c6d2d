# Run with cmake -P; see KovaDemo.cmake.
file(REMOVE_RECURSE ${DEMO_DIR})
file(MAKE_DIRECTORY ${DEMO_DIR}/PLUGIN/PSEMU ${DEMO_DIR}/BIOS ${DEMO_DIR}/MEMCARDS)
file(COPY_FILE ${STANDIN} ${DEMO_DIR}/KOVA.EXE)
foreach(p IN LISTS PROGRAMS)
    get_filename_component(n ${p} NAME)
    file(COPY_FILE ${p} ${DEMO_DIR}/${n})
endforeach()
foreach(p IN LISTS PLUGINS)
    get_filename_component(n ${p} NAME)
    file(COPY_FILE ${p} ${DEMO_DIR}/PLUGIN/${n})
endforeach()
foreach(p IN LISTS PSEMU)
    get_filename_component(n ${p} NAME)
    file(COPY_FILE ${p} ${DEMO_DIR}/PLUGIN/PSEMU/${n})
endforeach()
file(COPY_FILE ${INI_TEMPLATE} ${DEMO_DIR}/KOVA.INI)
# A PlayStation disc for cdimage, which KOVA.INI names.
file(COPY ${DISC_DIR}/ DESTINATION ${DEMO_DIR}/DISCS)
# Installed as the emulator finds them, as a Save of the configurator would.
if(EXISTS ${DEMO_DIR}/PLUGIN/cdidle.dll)
    file(COPY_FILE ${DEMO_DIR}/PLUGIN/cdidle.dll ${DEMO_DIR}/CDRend.dll)
endif()
if(EXISTS ${DEMO_DIR}/PLUGIN/padidle.dll)
    file(COPY_FILE ${DEMO_DIR}/PLUGIN/padidle.dll ${DEMO_DIR}/Joy0Rend.dll)
endif()
# Something for the configurator's lists and file chooser to show: two
# memory cards with a few saves, made by MKCARDS.EXE (the configurator's
# card code, run by Wine in the demo's prefix, without a display), and a
# program to pick in DEMOS\.
execute_process(
    COMMAND env WINEARCH=win32 WINEPREFIX=${WINE_PREFIX} WINEDEBUG=-all
        WINEDLLOVERRIDES=mscoree,mshtml= DISPLAY= wine ${MAKE_CARDS}
    WORKING_DIRECTORY ${DEMO_DIR}/MEMCARDS
    RESULT_VARIABLE made)
if(NOT made EQUAL 0 OR NOT EXISTS ${DEMO_DIR}/MEMCARDS/card2.mcd)
    message(FATAL_ERROR "MKCARDS.EXE did not make the demo's memory cards (${made})")
endif()
file(MAKE_DIRECTORY ${DEMO_DIR}/DEMOS)
file(WRITE ${DEMO_DIR}/DEMOS/HELLO.EXE "PS-X EXE")
