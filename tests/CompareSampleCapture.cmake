# The sample capture in examples/ must be exactly what packmon-make-sample
# writes, so it can always be made again from source.
execute_process(COMMAND ${TOOL} ${SCRATCH} RESULT_VARIABLE Result)
if(NOT Result EQUAL 0)
  message(FATAL_ERROR "packmon-make-sample failed: ${Result}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SHIPPED} ${SCRATCH} RESULT_VARIABLE Differs)
if(NOT Differs EQUAL 0)
  message(FATAL_ERROR "${SHIPPED} is not what the tool makes; rebuild it with the sample_capture target")
endif()
