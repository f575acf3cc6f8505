# The Windows hosts run beside a copy of Quorel32.dll, found by name as a host finds it.
# `embed` links the import library; `windows_host` loads the DLL and binds every export.
add_executable(embed embed.c)
target_link_libraries(embed PRIVATE Quorel32)
add_executable(windows_host windows_host.c)
target_include_directories(windows_host PRIVATE ${PROJECT_SOURCE_DIR}/Quorel32/include)
foreach(host embed windows_host)
  target_link_options(${host} PRIVATE -static)
  add_dependencies(${host} Quorel32)
  add_custom_command(TARGET ${host} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Quorel32>
            $<TARGET_FILE_DIR:${host}>)
endforeach()

add_test(NAME example_embed COMMAND embed)
set_tests_properties(example_embed PROPERTIES
  PASS_REGULAR_EXPRESSION "wave\\(1.000, 2\\) = -0.000000.*run-time error 100 from clamp")
add_test(NAME windows_host COMMAND windows_host Quorel32.def)
set_tests_properties(windows_host PROPERTIES PASS_REGULAR_EXPRESSION "all exports passed")
add_custom_command(TARGET windows_host POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_BINARY_DIR}/Quorel32/Quorel32.def $<TARGET_FILE_DIR:windows_host>)

# The DLL's export table holds exactly the header's exports, by plain name, and its import
# table names system DLLs only.
add_test(NAME dll_tables
  COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:Quorel32> -DOBJDUMP=${CMAKE_OBJDUMP}
          -DHEADER=${PROJECT_SOURCE_DIR}/Quorel32/include/Quorel32.h
          -P ${CMAKE_CURRENT_SOURCE_DIR}/dll_tables.cmake)
