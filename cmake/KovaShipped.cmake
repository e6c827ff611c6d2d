# The shipped binaries: their registry (for the binary checks, the release
# package and scripts/bench.sh) and the version record each one carries.

# Every shipped binary's target, in the order they were added.
set_property(GLOBAL PROPERTY KOVA_SHIPPED_TARGETS "")

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

# Gives target its version record and enters it in the registry.
function(kova_register_shipped target fileName fileType description)
    kova_add_version_resource(${target} ${fileName} ${fileType} "${description}")
    set_property(GLOBAL APPEND PROPERTY KOVA_SHIPPED_TARGETS ${target})
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
