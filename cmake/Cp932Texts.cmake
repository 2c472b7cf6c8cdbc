# kavrenta_cp932_texts(TARGET table.txt Header.h namespace)
# Generates Header.h (hex-escaped cp932 literals) from a UTF-8 table and adds
# its directory to TARGET's include path.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

function(kavrenta_cp932_texts target table header namespace)
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/generated)
  set(out ${out_dir}/${header})
  get_filename_component(table_abs ${table} ABSOLUTE)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/cmake/cp932gen.py ${table_abs} ${out} ${namespace}
    DEPENDS ${table_abs} ${PROJECT_SOURCE_DIR}/cmake/cp932gen.py
    COMMENT "cp932 texts ${header}")
  target_sources(${target} PRIVATE ${out})
  target_include_directories(${target} PRIVATE $<BUILD_INTERFACE:${out_dir}>)
endfunction()
