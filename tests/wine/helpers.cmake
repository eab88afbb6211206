# Small Windows programs the acceptance tests under Wine use; included from the
# Windows build so they land in bin/ beside sorvak.exe.
foreach(helper record_args send_close)
  add_executable(${helper} WIN32 ${CMAKE_CURRENT_LIST_DIR}/helpers/${helper}.cpp)
  sorvak_warnings(${helper})
endforeach()
