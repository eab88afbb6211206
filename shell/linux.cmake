# The native Linux program: the X11 platform, the GTK tray shell and the
# embedded icon. Included from the root CMakeLists.txt when
# SORVAK_LINUX_DESKTOP is on, so the other native builds need no desktop
# libraries.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SORVAK_GLIB REQUIRED IMPORTED_TARGET glib-2.0)
pkg_check_modules(SORVAK_X11 REQUIRED IMPORTED_TARGET x11 xi)
pkg_check_modules(SORVAK_GTK REQUIRED IMPORTED_TARGET gtk+-3.0 ayatana-appindicator3-0.1)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# The decisions that need no display: the key table, the launch command and
# the unknown-key notice; the unit tests link these alone.
add_library(sorvak_linux_portable STATIC platform/x11_key_table.cpp platform/launch_command.cpp
                                         shell/capture_key_linux.cpp)
target_include_directories(sorvak_linux_portable PUBLIC ${PROJECT_SOURCE_DIR})
# The key table needs the keysym names only, not the library.
target_include_directories(sorvak_linux_portable SYSTEM PRIVATE ${SORVAK_X11_INCLUDE_DIRS})
target_link_libraries(sorvak_linux_portable PUBLIC PkgConfig::SORVAK_GLIB)
sorvak_warnings(sorvak_linux_portable)

add_library(sorvak_x11_platform STATIC platform/platform_x11.cpp platform/threads_std.cpp)
target_link_libraries(sorvak_x11_platform PUBLIC sorvak_linux_portable PkgConfig::SORVAK_X11
                                                 PkgConfig::SORVAK_GLIB Threads::Threads)
sorvak_warnings(sorvak_x11_platform)

set(tray_icon_png ${CMAKE_BINARY_DIR}/bin/sorvak.png)
set(tray_icon_cpp ${CMAKE_BINARY_DIR}/generated/tray_icon_image.cpp)
add_custom_command(
    OUTPUT ${tray_icon_png} ${tray_icon_cpp}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/shell/resources/make_icon_png.py
            ${tray_icon_png} ${tray_icon_cpp}
    DEPENDS ${PROJECT_SOURCE_DIR}/shell/resources/make_icon_png.py
            ${PROJECT_SOURCE_DIR}/shell/resources/make_icon.py
    COMMENT "Drawing the tray icon"
    VERBATIM)

add_executable(sorvak shell/linux_main.cpp shell/tray_linux.cpp ${tray_icon_cpp})
target_include_directories(sorvak PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(sorvak PRIVATE sorvak_shell_portable sorvak_core sorvak_x11_platform
                                     sorvak_memory PkgConfig::SORVAK_GTK Threads::Threads)
sorvak_warnings(sorvak)

# A sample conf.txt beside the built program, never over one already there;
# and an autostart entry that starts the built program.
if(NOT EXISTS ${CMAKE_BINARY_DIR}/bin/conf.txt)
  configure_file(shell/resources/conf-linux.txt ${CMAKE_BINARY_DIR}/bin/conf.txt COPYONLY)
endif()
set(SORVAK_DESKTOP_EXEC ${CMAKE_BINARY_DIR}/bin/sorvak)
set(SORVAK_DESKTOP_ICON ${tray_icon_png})
configure_file(shell/resources/sorvak.desktop.in ${CMAKE_BINARY_DIR}/bin/sorvak.desktop @ONLY)
