# Packs the demonstration tree with the kit packer.
# -DPACKER=<veskp8-kit> -DDEMO_DIR=<examples/demo-kit> -DOUTPUT=<kit file>
# descriptions.tsv: one description per line, LANG<TAB>PRODUCT<TAB>VENDOR<TAB>DOCUMENT;
# lines starting with "#" are comments.
file(STRINGS ${DEMO_DIR}/descriptions.tsv lines ENCODING UTF-8)
set(args create -o ${OUTPUT} ${DEMO_DIR}/tree)
foreach(line IN LISTS lines)
  if(line MATCHES "^#" OR line STREQUAL "")
    continue()
  endif()
  string(REPLACE "\t" ";" fields "${line}")
  list(LENGTH fields n)
  if(NOT n EQUAL 4)
    message(FATAL_ERROR "descriptions.tsv: expected 4 tab-separated fields: ${line}")
  endif()
  list(APPEND args --desc ${fields})
endforeach()
execute_process(COMMAND ${PACKER} ${args} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "packing the demonstration kit failed")
endif()
