# The engine and configuration sources, shared by the main build and the
# separately configured fuzzing build.
set(SORVAK_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/../gesture/gesture_context.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../gesture/classifier.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../gesture/launcher.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../gesture/capture_loop.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../conf/text_tools.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../conf/line_reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../conf/value_handlers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../conf/conf_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../conf/diagnostics.cpp)
