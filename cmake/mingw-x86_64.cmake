# Cross-compiles the same Windows programs as 64-bit PE, for machines that cannot run 32-bit ones.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
