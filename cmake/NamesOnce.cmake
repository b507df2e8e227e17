# The names by which other programs find the server, each typed once (docs/ARCHITECTURE.md): a copy
# elsewhere would let a renamed window escape the installer's close or msgwatch unseen. The product's
# name is the top-level CMakeLists' alone in the product's code and its installer. Run with
# -DROOT=<source tree> -P.
cmake_minimum_required(VERSION 3.25)

# "literal|the one file that may hold it|folders searched"
set(names
    "\"TForm1\"|protocol/ServerWindows.h|."
    "\"NOVU Kelvane Server\"|protocol/ServerWindows.h|."
    "\"TAboutBox\"|protocol/ServerWindows.h|."
    "\"AboutBox\"|protocol/ServerWindows.h|."
    "\"Kelvane Server\"|CMakeLists.txt|server skin win32 support gpulib tiktor mainboard protocol installer")

set(errors)
foreach(entry IN LISTS names)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 literal)
    list(GET parts 1 home)
    list(GET parts 2 folders)
    string(REPLACE " " ";" folders "${folders}")
    set(files)
    foreach(folder IN LISTS folders)
        set(patterns)
        foreach(ext h c cpp in nsi nsh py cmake txt)
            list(APPEND patterns ${ROOT}/${folder}/*.${ext})
        endforeach()
        file(GLOB_RECURSE found RELATIVE ${ROOT} ${patterns})
        list(APPEND files ${found})
    endforeach()
    list(FILTER files EXCLUDE REGEX "^(build|\\.git)/")
    foreach(file IN LISTS files)
        if(file STREQUAL home)
            continue()
        endif()
        file(READ ${ROOT}/${file} text)
        string(FIND "${text}" "${literal}" at)
        if(NOT at EQUAL -1)
            list(APPEND errors "${file}: ${literal} is stated in ${home}, to be used from there")
        endif()
    endforeach()
endforeach()
if(errors)
    list(JOIN errors "\n" message)
    message(FATAL_ERROR "${message}")
endif()
