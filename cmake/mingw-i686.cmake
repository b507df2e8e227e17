# Cross-compiles the Windows programs as 32-bit PE, the product's own width.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
