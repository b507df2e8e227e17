# The names by which other programs find the server, each typed once (docs/ARCHITECTURE.md): a copy
# elsewhere would let a renamed window escape the installer's close or msgwatch unseen. The product's
# name is the top-level CMakeLists' alone in the product's code and its installer. Run with
# -DROOT=<source tree> -P.
cmake_minimum_required(VERSION 3.25)

# "a literal (as a regular expression)|the files that may hold it|folders searched". The product's
# name may not stand inside any literal, a sentence's among them; the main window's caption holds it
# as the platform's software knows the window.
set(names
    "\"TForm1\"|protocol/ServerWindows.h|."
    "\"NOVU Kelvane Server\"|protocol/ServerWindows.h|."
    "\"TAboutBox\"|protocol/ServerWindows.h|."
    "\"AboutBox\"|protocol/ServerWindows.h|."
    "\"[^\"\n]*Kelvane Server[^\"\n]*\"|CMakeLists.txt protocol/ServerWindows.h|server skin win32 support gpulib tiktor mainboard protocol installer")

set(errors)
foreach(entry IN LISTS names)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 literal)
    list(GET parts 1 homes)
    string(REPLACE " " ";" homes "${homes}")
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
        if(file IN_LIST homes)
            continue()
        endif()
        file(READ ${ROOT}/${file} text)
        string(REGEX MATCH "${literal}" found "${text}")
        if(found)
            list(APPEND errors "${file}: ${found} is stated in ${homes}, to be used from there")
        endif()
    endforeach()
endforeach()
if(errors)
    list(JOIN errors "\n" message)
    message(FATAL_ERROR "${message}")
endif()
