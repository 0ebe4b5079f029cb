# Warnings for every target of ours, through one interface target.
add_library(pictorra_warnings INTERFACE)
target_compile_options(pictorra_warnings INTERFACE -Wall -Wextra)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 reports impossible overlaps in std::string's operator+ at -O3 (GCC bug 105651).
    target_compile_options(pictorra_warnings INTERFACE -Wno-restrict)
endif()
if(PICTORRA_WERROR)
    target_compile_options(pictorra_warnings INTERFACE -Werror)
endif()
