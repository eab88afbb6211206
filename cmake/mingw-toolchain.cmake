# Shared by the mingw-w64 toolchain files, which set SORVAK_MINGW_ARCH first.
# The Windows programs use no C++ exceptions, no unwind tables and no standard
# threads, so the plain win32-thread compilers serve and nothing of winpthreads
# or the unwinder is linked in; everything is static, so only system DLLs are
# imported.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${SORVAK_MINGW_ARCH})
set(triple ${SORVAK_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-win32)
set(CMAKE_CXX_COMPILER ${triple}-g++-win32)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# A section per function lets the programs' links drop what they do not use.
# Not per datum: mingw's GCC then puts zero-filled data in the file's .data
# instead of .bss, which costs the program its whole context in bytes.
set(CMAKE_CXX_FLAGS_INIT "-fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables -ffunction-sections")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
