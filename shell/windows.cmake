# The shipped Windows program, its platform library and the ZIP package.
# Included from the root CMakeLists.txt on Windows builds only.
enable_language(RC)

add_library(sorvak_win32_platform STATIC platform/platform_win32.cpp)
target_include_directories(sorvak_win32_platform PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(sorvak_win32_platform PUBLIC user32 shell32 ole32)
sorvak_warnings(sorvak_win32_platform)

# The C++ sources get the project's warnings; the resource script does not.
add_library(sorvak_shell_win32 OBJECT
    shell/win_main.cpp
    shell/window_proc.cpp
    shell/tray_icon.cpp
    shell/terminate_win32.cpp)
target_include_directories(sorvak_shell_win32 PRIVATE ${PROJECT_SOURCE_DIR})
sorvak_warnings(sorvak_shell_win32)

add_executable(sorvak WIN32 $<TARGET_OBJECTS:sorvak_shell_win32> shell/resources/sorvak.rc)
target_link_libraries(sorvak PRIVATE sorvak_shell_portable sorvak_core sorvak_win32_platform
                                     sorvak_memory user32 shell32 ole32)
set_source_files_properties(shell/resources/sorvak.rc PROPERTIES OBJECT_DEPENDS
    "${PROJECT_SOURCE_DIR}/shell/resources/sorvak.ico;${PROJECT_SOURCE_DIR}/shell/resources/sorvak.manifest")

# Small: unused code dropped, symbols stripped in the size-optimised build;
# the toolchain links every library in statically.
foreach(target sorvak_shell_win32 sorvak_core sorvak_shell_portable sorvak_memory sorvak_win32_platform)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-ffunction-sections
                         -fdata-sections>)
endforeach()
target_link_options(sorvak PRIVATE -Wl,--gc-sections $<$<CONFIG:MinSizeRel>:-s>)

install(TARGETS sorvak RUNTIME DESTINATION .)
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
