# Warnings for every target of ours, through one interface target.
add_library(pictorra_warnings INTERFACE)
target_compile_options(pictorra_warnings INTERFACE -Wall -Wextra)
if(PICTORRA_WERROR)
    target_compile_options(pictorra_warnings INTERFACE -Werror)
endif()
