# kova_flags: the warnings (as errors), the Windows version and the language
# level of all code, product and tests alike.
add_library(kova_flags INTERFACE)
target_compile_options(kova_flags INTERFACE
    -Wall -Wextra -Werror -Wshadow -Wformat=2 -Wundef -Wcast-align
    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)
target_compile_definitions(kova_flags INTERFACE
    WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 WINVER=0x0501 NOMINMAX)
target_compile_features(kova_flags INTERFACE cxx_std_17)
