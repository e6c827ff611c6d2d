# How shipped code is compiled and linked.
#
# kova_product        - compile flags of every source that ends up in a shipped
#                       binary (the configurator's code, each plugin's code,
#                       the tools): small code, no exceptions, no RTTI.
# kova_static_runtime - link flags that put the GCC runtime into the binary,
#                       so that it imports only system DLLs.
# kova_shipped_link   - link flags of a shipped binary: no symbols, no unused
#                       sections.
# kova_def_exports    - link flags of a library whose .def file is its one list
#                       of exports: undecorated names, nothing else exported.

# Functions in sections of their own, so that the linker drops the unused
# ones. Not data: GCC for PE then places zero-filled variables in .data$
# sections, with their zeros in the file (the configurator's catalogue alone
# would add 360 KB).
add_library(kova_product INTERFACE)
target_compile_options(kova_product INTERFACE
    -Os -ffunction-sections
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>)
target_link_libraries(kova_product INTERFACE kova_flags)

add_library(kova_static_runtime INTERFACE)
target_link_options(kova_static_runtime INTERFACE -static -static-libgcc -static-libstdc++)

add_library(kova_def_exports INTERFACE)
target_link_options(kova_def_exports INTERFACE -Wl,--kill-at -Wl,--exclude-all-symbols)

add_library(kova_shipped_link INTERFACE)
target_link_options(kova_shipped_link INTERFACE -s -Wl,--gc-sections)
target_link_libraries(kova_shipped_link INTERFACE kova_static_runtime)
