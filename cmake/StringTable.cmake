# String tables: each program's user-visible texts live in a strings.txt written for people
# (format in resources/README.md). tarn_add_string_table(<target> <file>) compiles one into a
# static library <target> that the program links:
#   - the table is registered with the platform when the program starts (LoadStringW);
#   - the header "<folder of the file>/StringIds.h" declares namespace <target> with a constant
#     per string name (agent_strings::kTcpIpNotRunning) and Instance(), the table's handle.
# A malformed file stops the build with "<file>:<line>: <what is wrong>".

add_executable(tarn_string_table_compiler ${CMAKE_CURRENT_LIST_DIR}/StringTableCompiler.cpp)
target_link_libraries(tarn_string_table_compiler PRIVATE vtarn_platform)

function(tarn_add_string_table target file)
  get_filename_component(file "${file}" ABSOLUTE)
  file(RELATIVE_PATH relative "${TARN_SOURCE_ROOT}" "${file}")
  get_filename_component(folder "${relative}" DIRECTORY)
  set(generated "${PROJECT_BINARY_DIR}/generated")
  set(header_path "${folder}/StringIds.h")
  set(source "${generated}/${folder}/${target}.cpp")
  add_custom_command(
    OUTPUT "${source}" "${generated}/${header_path}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${generated}/${folder}"
    COMMAND tarn_string_table_compiler "${file}" "${source}" "${generated}/${header_path}" ${target} "${header_path}"
    DEPENDS "${file}" tarn_string_table_compiler
    COMMENT "Compiling string table ${relative}"
    VERBATIM)
  add_library(${target} STATIC "${source}" "${generated}/${header_path}")
  target_include_directories(${target} PUBLIC "${generated}")
  target_link_libraries(${target} PUBLIC vtarn_platform)
  # Nothing need call into the table, so the linker is told to take its registration along.
  target_link_options(${target} INTERFACE "LINKER:--undefined=tarn_string_table_${target}")
endfunction()
