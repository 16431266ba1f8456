# One INTERFACE target carries the warning set; every project target links it PRIVATE.
add_library(tunelore_warnings INTERFACE)
target_compile_options(tunelore_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast
    -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-qual -Wformat=2 -Wundef)
if(TUNELORE_WERROR)
    target_compile_options(tunelore_warnings INTERFACE -Werror)
endif()
