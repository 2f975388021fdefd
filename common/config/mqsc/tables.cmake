# Generates the MQSC tables of vrqapi from the table files in this folder.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(_mqsc_dir ${CMAKE_CURRENT_LIST_DIR})
set(_mqsc_out ${CMAKE_CURRENT_BINARY_DIR}/mqsc_tables_gen.cpp)
set(_mqsc_inputs commands.tsv keywords.tsv values.tsv rules.tsv csqrc.tsv gen_tables.py)
list(TRANSFORM _mqsc_inputs PREPEND ${_mqsc_dir}/)
add_custom_command(OUTPUT ${_mqsc_out}
  COMMAND Python3::Interpreter ${_mqsc_dir}/gen_tables.py ${_mqsc_dir} ${_mqsc_out}
  DEPENDS ${_mqsc_inputs}
  COMMENT "Generating the MQSC tables")
target_sources(${VRQAPI_CODE} PRIVATE ${_mqsc_out})
