# Fails when PAGE differs from what GENERATOR prints.
execute_process(COMMAND ${GENERATOR} OUTPUT_VARIABLE generated RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${GENERATOR} failed: ${status}")
endif()
file(READ ${PAGE} committed)
if(NOT generated STREQUAL committed)
  message(FATAL_ERROR "${PAGE} is stale: regenerate it with `${GENERATOR} > ${PAGE}`")
endif()
