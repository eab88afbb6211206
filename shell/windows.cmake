# The shipped Windows program, its platform library and the ZIP package.
# Included from the root CMakeLists.txt on Windows builds only.
enable_language(RC)

# Every operation but the shell call, which comes from one of the two below:
# the real one for the program, a dry one for the checker's live mode.
add_library(sorvak_win32_platform STATIC platform/platform_win32.cpp platform/stdio_win32.cpp)
target_include_directories(sorvak_win32_platform PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(sorvak_win32_platform PUBLIC user32)
sorvak_warnings(sorvak_win32_platform)
add_library(sorvak_win32_shell_open STATIC platform/shell_open_win32.cpp)
target_include_directories(sorvak_win32_shell_open PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(sorvak_win32_shell_open PUBLIC shell32 ole32)
sorvak_warnings(sorvak_win32_shell_open)

# The C++ sources get the project's warnings; the resource script does not.
add_library(sorvak_shell_win32 OBJECT
    shell/win_main.cpp
    shell/window_proc.cpp
    shell/tray_icon.cpp
    shell/heap_win32.cpp)
target_include_directories(sorvak_shell_win32 PRIVATE ${PROJECT_SOURCE_DIR})
sorvak_warnings(sorvak_shell_win32)

add_executable(sorvak WIN32 $<TARGET_OBJECTS:sorvak_shell_win32> shell/resources/sorvak.rc)
target_link_libraries(sorvak PRIVATE sorvak_shell_portable sorvak_core sorvak_win32_shell_open
                                     sorvak_win32_platform sorvak_memory user32 shell32 ole32)
set_source_files_properties(shell/resources/sorvak.rc PROPERTIES OBJECT_DEPENDS
    "${PROJECT_SOURCE_DIR}/shell/resources/sorvak.ico;${PROJECT_SOURCE_DIR}/shell/resources/sorvak.manifest")

# Small: unused code dropped, symbols stripped in the size-optimised build;
# the toolchain links every library in statically.
foreach(target sorvak_shell_win32 sorvak_core sorvak_shell_portable sorvak_memory
               sorvak_win32_platform sorvak_win32_shell_open)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-ffunction-sections
                         -fdata-sections>)
endforeach()
target_link_options(sorvak PRIVATE -Wl,--gc-sections $<$<CONFIG:MinSizeRel>:-s>)

# The console checker: the same loader and capture loop, with a shell call
# that starts nothing.
add_library(sorvak_dry_shell_open STATIC platform/shell_open_dry.cpp)
target_include_directories(sorvak_dry_shell_open PUBLIC ${PROJECT_SOURCE_DIR})
sorvak_warnings(sorvak_dry_shell_open)
add_executable(sorvak-check shell/check_main_win32.cpp)
target_include_directories(sorvak-check PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(sorvak-check PRIVATE sorvak_shell_portable sorvak_core sorvak_dry_shell_open
                                           sorvak_win32_platform sorvak_memory user32)
sorvak_warnings(sorvak-check)
target_compile_options(sorvak-check PRIVATE -ffunction-sections -fdata-sections)
target_link_options(sorvak-check PRIVATE -Wl,--gc-sections $<$<CONFIG:MinSizeRel>:-s>)

install(TARGETS sorvak sorvak-check RUNTIME DESTINATION .)
install(FILES shell/dist/conf.txt shell/dist/README.txt DESTINATION .)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(SORVAK_PACKAGE_PLATFORM win32)
else()
  set(SORVAK_PACKAGE_PLATFORM win64)
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME sorvak)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME sorvak-${PROJECT_VERSION}-${SORVAK_PACKAGE_PLATFORM})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
include(CPack)

add_custom_target(package_zip
    COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS sorvak
    COMMENT "Packing ${CPACK_PACKAGE_FILE_NAME}.zip"
    VERBATIM)
