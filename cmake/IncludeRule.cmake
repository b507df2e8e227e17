# Who may include whom (docs/ARCHITECTURE.md): every project include of a folder's C/C++ files must
# name the folder itself or one it may build on. Run with -DROOT=<source tree> -P IncludeRule.cmake.
cmake_minimum_required(VERSION 3.25)

# folder: the folders its files may include from (itself first)
set(rules
    "remote: remote"
    "protocol: protocol remote"
    "win32: win32"
    "support: support win32"
    "gpulib: gpulib support win32"
    "skin: skin support win32"
    "server/core: server/core protocol gpulib"
    "server/carddb: server/carddb server/core protocol gpulib win32"
    "server/platform: server/platform server/core protocol gpulib win32"
    "server/tray: server/tray support win32"
    "server/app: server protocol gpulib skin support win32"
    "tiktor: tiktor protocol win32"
    "mainboard: mainboard protocol remote win32"
    "installer: installer win32")

set(errors)
foreach(rule IN LISTS rules)
    string(REGEX MATCH "^([^:]+): (.*)$" _ "${rule}")
    set(folder ${CMAKE_MATCH_1})
    string(REPLACE " " ";" allowed "${CMAKE_MATCH_2}")
    file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.c ${ROOT}/${folder}/*.cpp
         ${ROOT}/${folder}/*.in)
    foreach(file IN LISTS files)
        file(STRINGS ${ROOT}/${file} includes REGEX "^#include \"")
        foreach(line IN LISTS includes)
            string(REGEX MATCH "\"([^\"]+)\"" _ "${line}")
            set(included ${CMAKE_MATCH_1})
            if(NOT included MATCHES "/")
                continue()  # a file beside it (resource.h)
            endif()
            set(ok FALSE)
            foreach(prefix IN LISTS allowed)
                if(included MATCHES "^${prefix}/")
                    set(ok TRUE)
                endif()
            endforeach()
            if(NOT ok)
                list(APPEND errors "${file} includes ${included}")
            endif()
        endforeach()
    endforeach()
endforeach()

if(errors)
    string(REPLACE ";" "\n  " errors "${errors}")
    message(FATAL_ERROR "Includes across the layers:\n  ${errors}")
endif()
