# Cross build for i686 Windows with mingw-w64.
set(SORVAK_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
