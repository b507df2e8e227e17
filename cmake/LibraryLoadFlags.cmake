# The library-load flags of the programs, which their import tables cannot show: Windows 7 SP1
# without update KB2533623 refuses the LOAD_LIBRARY_SEARCH flags (and the later ones below) in
# LoadLibraryEx, and lacks SetDefaultDllDirectories, so a load with them fails there and binds
# nothing. Each use in the programs' sources must be one reviewed here, where the flag is given only
# to a function looked up at run time whose absence is handled.
# Run with -DROOT=<source tree> -P LibraryLoadFlags.cmake.
cmake_minimum_required(VERSION 3.25)

set(product_folders protocol win32 support gpulib skin server tiktor)
# "file: token" for each reviewed use.
set(reviewed "win32/LibraryLoading.h: LOAD_LIBRARY_SEARCH_DEFAULT_DIRS")  # SetDefaultDllDirectories, looked up
set(newer_than_the_oldest_system
    "LOAD_LIBRARY_SEARCH_[A-Z0-9_]+|LOAD_LIBRARY_REQUIRE_SIGNED_TARGET|LOAD_LIBRARY_SAFE_CURRENT_DIRS|LOAD_LIBRARY_OS_INTEGRITY_CONTINUITY")
# Loads whose flags need the same review.
set(loads_with_flags "LoadLibraryEx[AW]?")

set(errors)
set(seen)
foreach(folder IN LISTS product_folders)
    file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
    list(FILTER files EXCLUDE REGEX "_(test|bench|fuzz)\\.cpp$")
    foreach(file IN LISTS files)
        file(STRINGS ${ROOT}/${file} lines REGEX "${newer_than_the_oldest_system}|${loads_with_flags}")
        foreach(line IN LISTS lines)
            string(REGEX MATCHALL "${newer_than_the_oldest_system}|${loads_with_flags}" tokens "${line}")
            foreach(token IN LISTS tokens)
                if("${file}: ${token}" IN_LIST reviewed)
                    list(APPEND seen "${file}: ${token}")
                else()
                    list(APPEND errors "${file}: ${token} in \"${line}\"")
                endif()
            endforeach()
        endforeach()
    endforeach()
endforeach()

# A reviewed use that is gone is taken off the list, so that the list stays what the sources do.
foreach(use IN LISTS reviewed)
    if(NOT use IN_LIST seen)
        list(APPEND errors "${use}: reviewed, but no longer in the sources")
    endif()
endforeach()

if(errors)
    string(REPLACE ";" "\n  " errors "${errors}")
    message(FATAL_ERROR "Library-load flags that Windows 7 SP1 without KB2533623 refuses, or loads "
                        "with flags not reviewed here:\n  ${errors}")
endif()
message(STATUS "library-load flags: only the reviewed uses (${reviewed})")
