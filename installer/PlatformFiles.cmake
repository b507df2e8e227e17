# Holds the installer's list of the platform software's files to the built programs. A program names
# each library it imports (import table) or loads (its name as 8-bit or UTF-16 text in the file), and
# each program it starts (a text that is just that file name): every such file that the Windows SDK
# does not provide must be on the list, and every file on the list must be named by a program.
#   cmake -DPROGRAMS="kelvane.exe;tiktor.exe" -DLISTED="nuacpi.dll;..." -DSDK_LIB=<mingw>/lib
#         -P PlatformFiles.cmake
cmake_minimum_required(VERSION 3.25)

set(named)
set(own)
list(JOIN LISTED "|" listed_pattern)
string(REPLACE "." "\\." listed_pattern "${listed_pattern}")
foreach(program IN LISTS PROGRAMS)
    get_filename_component(name ${program} NAME)
    list(APPEND own ${name})
    foreach(encoding UTF-8 UTF-16LE)
        file(STRINGS ${program} texts ENCODING ${encoding} REGEX "\\.([dD][lL][lL]|exe)")
        foreach(text IN LISTS texts)
            string(REGEX MATCHALL "[A-Za-z][A-Za-z0-9_]*\\.[dD][lL][lL]" libraries "${text}")
            if(encoding STREQUAL "UTF-16LE")
                # An 8-bit text that ends right before a UTF-16 one lends it its last letter: the
                # letter and its terminating zero read as one UTF-16 character ("FreePngData" then
                # L"Pixread.dll" reads "aPixread.dll"). Such a name is the listed one without it.
                list(TRANSFORM libraries REPLACE "^.(.+)$" "\\1" REGEX "^.(${listed_pattern})$")
            endif()
            list(APPEND named ${libraries})
            if(text MATCHES "^\\\\?([A-Za-z][A-Za-z0-9_ ]*\\.exe)$")
                list(APPEND named ${CMAKE_MATCH_1})
            endif()
        endforeach()
    endforeach()
endforeach()
list(REMOVE_DUPLICATES named)

set(needed)
foreach(name IN LISTS named)
    string(TOLOWER ${name} lower)
    string(REGEX REPLACE "\\.dll$" "" stem ${lower})
    # The SDK's libraries are the system's; GCC's unwinder only asks whether its DLL is loaded.
    if(EXISTS ${SDK_LIB}/lib${stem}.a OR lower MATCHES "^libgcc_s_" OR name IN_LIST own)
        continue()
    endif()
    list(APPEND needed ${name})
endforeach()

set(errors)
foreach(name IN LISTS needed)
    if(NOT name IN_LIST LISTED)
        list(APPEND errors "${name} is named by a program but the installer does not check for it")
    endif()
endforeach()
foreach(name IN LISTS LISTED)
    if(NOT name IN_LIST needed)
        list(APPEND errors "${name} is checked by the installer but no program names it")
    endif()
endforeach()
if(errors)
    list(JOIN errors "\n  " text)
    message(FATAL_ERROR "the installer's platform files and the programs differ:\n  ${text}")
endif()
list(JOIN needed ", " text)
message(STATUS "the programs need from the platform software: ${text}")
