# GoogleTest for the target, built from Debian's sources, and the helpers that
# register test programs with CTest. CTest runs every test program under Wine
# (CMAKE_CROSSCOMPILING_EMULATOR) in the build tree's own 32-bit prefix;
# scripts/test.sh prepares that prefix, the X display and the Wine server.

set(KOVA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${KOVA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

set(KOVA_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR
    env WINEARCH=win32 WINEPREFIX=${KOVA_WINEPREFIX} WINEDEBUG=-all
    ${CMAKE_SOURCE_DIR}/tests/rig/wine-test.sh)

set(KOVA_TEST_BIN_DIR ${CMAKE_BINARY_DIR}/tests/bin)

# A Linux path as Wine's Z: drive sees it, escaped for a C string literal.
function(kova_wine_path_literal out path)
    string(REPLACE "/" "\\\\" p "${path}")
    set(${out} "Z:${p}" PARENT_SCOPE)
endfunction()

# kova_add_gtest(<name> SOURCES ... [LIBS ...] [LOCKS ...] [TIMEOUT s] [LABELS ...] [ARGS ...])
# ARGS go to the program (e.g. a --gtest_filter that leaves some tests to a
# second CTest entry of the same program).
# LOCKS names shared resources; "xinput" marks tests that send real key or
# mouse events or move the X focus: CTest runs those alone.
function(kova_add_gtest name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LOCKS;LABELS;DEPENDS;ARGS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KOVA_TEST_BIN_DIR})
    target_link_libraries(${name} PRIVATE kova_testsupport kova_static_runtime ${ARG_LIBS})
    if(ARG_DEPENDS)
        add_dependencies(${name} ${ARG_DEPENDS})
    endif()
    add_test(NAME ${name} COMMAND ${name} ${ARG_ARGS})
    # A guard against a hung program, not a speed check: where the 32-bit
    # processor is emulated (scripts/setup.sh) the tests run about five
    # times slower than on a processor of their own.
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 600)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
    if(ARG_LOCKS)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${ARG_LOCKS}")
    endif()
    # Wine gives every new window the foreground, so any test showing a window
    # beside a real-event test would take its keyboard and mouse: real-event
    # tests run alone.
    if("xinput" IN_LIST ARG_LOCKS)
        set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
    endif()
    if(ARG_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
endfunction()

# kova_add_test_plugin(<name> DEF <file.def> SOURCES ... [LIBS ...] [OUTPUT <file name>])
# A library built only for the tests (recording, hostile or made-up plugins).
# It lands beside the test programs and is never shipped.
function(kova_add_test_plugin name)
    cmake_parse_arguments(ARG "" "DEF;OUTPUT" "SOURCES;LIBS" ${ARGN})
    add_library(${name} SHARED ${ARG_SOURCES} ${ARG_DEF})
    if(NOT ARG_OUTPUT)
        set(ARG_OUTPUT ${name})
    endif()
    set_target_properties(${name} PROPERTIES
        PREFIX "" OUTPUT_NAME ${ARG_OUTPUT}
        RUNTIME_OUTPUT_DIRECTORY ${KOVA_TEST_BIN_DIR})
    if(ARG_DEF)
        target_link_libraries(${name} PRIVATE kova_def_exports)
    endif()
    target_link_libraries(${name} PRIVATE kova_static_runtime kova_flags kova_contract kova_common
        ${ARG_LIBS})
endfunction()
