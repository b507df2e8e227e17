# Compiles the kit as C99 with -ffreestanding and without the C library's headers (only the
# compiler's own: stdint.h, stddef.h, stdbool.h), at each optimisation level, and checks that the
# object needs no symbol from outside (no memcpy or memset that the compiler slipped in).
# Run with -DCC=... -DNM=... -DSOURCE=<remote folder> -DOUT=<folder> -P Freestanding.cmake.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${CC} -print-file-name=include OUTPUT_VARIABLE compiler_headers
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
file(MAKE_DIRECTORY ${OUT})
foreach(level -O0 -O2 -Os)
    set(object ${OUT}/RemoteSide${level}.o)
    execute_process(COMMAND ${CC} -std=c99 -pedantic -Wall -Wextra -Werror -Wshadow -Wconversion
                            -Wno-sign-conversion ${level} -ffreestanding -nostdinc -isystem ${compiler_headers}
                            -c ${SOURCE}/RemoteSide.c -o ${object}
                    RESULT_VARIABLE failed ERROR_VARIABLE errors)
    if(failed)
        message(FATAL_ERROR "the kit does not build freestanding at ${level}:\n${errors}")
    endif()
    execute_process(COMMAND ${NM} -u ${object} OUTPUT_VARIABLE undefined COMMAND_ERROR_IS_FATAL ANY)
    if(NOT undefined STREQUAL "")
        message(FATAL_ERROR "the kit built at ${level} needs symbols from outside:\n${undefined}")
    endif()
endforeach()
message(STATUS "the kit builds freestanding at -O0, -O2 and -Os and needs nothing from outside")
