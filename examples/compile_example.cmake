# Compiles one example and insists on silence:
#   cmake -DCOMPILER=quillon -DSOURCE=hello.qlnp -DOUTPUT=hello.moxy -P compile_example.cmake
# The compilers write their file even after reporting an undeclared name, so a message on
# standard error, not the exit status alone, is what fails the example; its output is removed
# so that the next build tries again.
execute_process(
    COMMAND ${COMPILER} --compile ${SOURCE} -o ${OUTPUT} --map
    RESULT_VARIABLE status
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err)
if(NOT status STREQUAL "0" OR NOT out STREQUAL "" OR NOT err STREQUAL "")
    file(REMOVE ${OUTPUT} ${OUTPUT}.map)
    message(FATAL_ERROR "${SOURCE} does not compile cleanly (exit status ${status}):\n${err}${out}")
endif()
