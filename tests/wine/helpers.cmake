# Small Windows programs the acceptance tests under Wine use; included from the
# Windows build so they land in bin/ beside sorvak.exe.
foreach(helper record_args send_close start_unquoted shell_restart)
  add_executable(${helper} WIN32 ${CMAKE_CURRENT_LIST_DIR}/helpers/${helper}.cpp)
  sorvak_warnings(${helper})
endforeach()
# Built with the Windows platform: its pause must answer sent messages.
add_executable(answers_messages ${CMAKE_CURRENT_LIST_DIR}/helpers/answers_messages.cpp)
target_link_libraries(answers_messages PRIVATE sorvak_win32_shell_open sorvak_win32_platform
                                               sorvak_memory)
sorvak_warnings(answers_messages)
