# Shared build settings and small helpers for every target of the project.

option(KELVANE_SANITIZE "Build with AddressSanitizer and UBSan (native builds)" OFF)

set(KELVANE_WARNINGS -Wall -Wextra -Werror -Wshadow -Wconversion -Wno-sign-conversion)
# GCC 12 at -O3 reports std::string concatenation as overlapping memcpy (GCC bug 105329): a false alarm.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    list(APPEND KELVANE_WARNINGS -Wno-restrict)
endif()

if(WIN32)
    # Plain Win32, wide characters, no compiler DLLs at run time.
    add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
    add_link_options(-static -static-libgcc -static-libstdc++)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run)
endif()

# A compiler cache where the machine has one (Debian's ccache): a tree built before from the same
# sources, in this clone or another, compiles from it. Paths under the source folder are hashed
# relative to the build folder, so that two clones share entries. It takes the included files from
# the compiler's dependency output: a source not in the cache costs no extra preprocessing.
find_program(KELVANE_CCACHE ccache)
if(KELVANE_CCACHE)
    foreach(lang C CXX)
        set(CMAKE_${lang}_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${CMAKE_SOURCE_DIR}
                                            CCACHE_NOHASHDIR=true CCACHE_DEPEND=true ${KELVANE_CCACHE})
    endforeach()
endif()

# How a source file names itself in an assertion report (__FILE__): by its path in the source tree.
# The compiler sees that path absolute, or relative to the build folder through the cache above.
# The cache leaves these options' values out of its key: after changing them, empty it (ccache -C).
file(RELATIVE_PATH KELVANE_SOURCE_FROM_BUILD ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
string(REGEX REPLACE "/+$" "" KELVANE_SOURCE_FROM_BUILD ${KELVANE_SOURCE_FROM_BUILD})
set(KELVANE_SOURCE_NAMES -fmacro-prefix-map=${CMAKE_SOURCE_DIR}/= -fmacro-prefix-map=${KELVANE_SOURCE_FROM_BUILD}/=)

if(KELVANE_SANITIZE AND NOT WIN32)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# The JSON library (Debian's nlohmann-json3-dev, headers only): the board's tools write their form for
# scripts with it, and the tests read that form with it. The cross compilers must not see the rest of
# /usr/include, so they get a folder that holds only a link to the library's.
set(KELVANE_JSON_HEADERS /usr/include/nlohmann)
if(NOT EXISTS ${KELVANE_JSON_HEADERS}/json.hpp)
    message(FATAL_ERROR "${KELVANE_JSON_HEADERS}/json.hpp is missing: scripts/install-deps installs nlohmann-json3-dev")
endif()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/json-include)
file(CREATE_LINK ${KELVANE_JSON_HEADERS} ${CMAKE_BINARY_DIR}/json-include/nlohmann SYMBOLIC)
add_library(kelvane_json INTERFACE)
target_include_directories(kelvane_json SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/json-include)

# Fuzz targets (clang's libFuzzer): everything is built with coverage; the targets link the fuzzer.
option(KELVANE_FUZZ "Build the libFuzzer targets (clang)" OFF)
if(KELVANE_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# kelvane_fuzz_target(NAME SOURCE LIBS...): a libFuzzer target, in fuzz trees only (scripts/fuzz).
function(kelvane_fuzz_target name source)
    if(NOT KELVANE_FUZZ)
        return()
    endif()
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE ${ARGN})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    kelvane_warnings(${name})
endfunction()

# GoogleTest from Debian's sources, built for whichever target this tree builds.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
if(NOT TARGET gtest)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
include(GoogleTest)

function(kelvane_warnings target)
    target_compile_options(${target} PRIVATE ${KELVANE_WARNINGS})
endfunction()

# kelvane_test(NAME SOURCES... LIBS ...): a GoogleTest executable whose tests CTest discovers.
# Under wine, discovery runs at test time so that building needs no wine.
function(kelvane_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    kelvane_warnings(${name})
    target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
    if(WIN32)
        # GoogleTest's watcher thread started before the first test (see the file).
        target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/testing/WatcherThreadStarted_win.cpp)
        target_link_options(${name} PRIVATE -mconsole)
        # The test code itself is not what is measured or shipped: unoptimised, it compiles in
        # about two thirds of the time (the code under test, in its libraries, keeps the tree's options).
        target_compile_options(${name} PRIVATE -O0)
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES ${T_PROPERTIES})
endfunction()

# kelvane_def_for_width(DEF OUT_VAR): a .def as the target's calling convention needs it. The .def
# files state the outside libraries' 32-bit stdcall names (Name@8); x64 has one convention and no
# decoration, so the 64-bit build uses a copy without the @N suffixes (ordinals and NONAME stay).
function(kelvane_def_for_width def out_var)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(${out_var} ${def} PARENT_SCOPE)
        return()
    endif()
    file(READ ${def} content)
    string(REGEX REPLACE "([A-Za-z_][A-Za-z0-9_]*)@[0-9]+" "\\1" content "${content}")
    get_filename_component(name ${def} NAME)
    string(MD5 where ${def})
    set(out ${CMAKE_BINARY_DIR}/defs/${where}/${name})
    file(WRITE ${out}.new "${content}")
    configure_file(${out}.new ${out} COPYONLY)  # rewritten only when it changes
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
    set(${out_var} ${out} PARENT_SCOPE)
endfunction()

# An import library made from a .def that describes what a vendor DLL exports.
function(kelvane_import_library name def dll)
    kelvane_def_for_width(${def} def)
    set(lib ${CMAKE_BINARY_DIR}/importlibs/lib${name}.a)
    add_custom_command(OUTPUT ${lib}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/importlibs
        COMMAND ${CMAKE_DLLTOOL} ${ARGN} -d ${def} -D ${dll} -l ${lib}
        DEPENDS ${def} VERBATIM)
    add_custom_target(${name}_implib DEPENDS ${lib})
    add_library(${name}_import INTERFACE)
    add_dependencies(${name}_import ${name}_implib)
    target_link_libraries(${name}_import INTERFACE ${lib})
endfunction()

# The version facts of the top-level CMakeLists as the resource scripts, manifests and the installer
# read them: ${CMAKE_BINARY_DIR}/generated/Version.h, for windres and, through kelvane_version, for
# the code that shows the product's name.
function(kelvane_configure_version)
    string(REPLACE "." "," version_commas ${PROJECT_VERSION})
    string(REPLACE "." "," tiktor_version_commas ${KELVANE_TIKTOR_VERSION})
    configure_file(${CMAKE_SOURCE_DIR}/cmake/Version.h.in ${CMAKE_BINARY_DIR}/generated/Version.h @ONLY)
    add_library(kelvane_version INTERFACE)
    target_include_directories(kelvane_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
endfunction()
