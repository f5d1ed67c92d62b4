# Installs the project from BUILD_DIR into a fresh prefix, checks that the
# programs are there, builds the consumer project against the installed
# package and runs it: its output must be the patterns of the four-string
# example.
set(work ${WORK_DIR})
file(REMOVE_RECURSE ${work})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${work}/prefix
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "install failed")
endif()
foreach(program Tavrel.exe tavrel-prep tavrel-show)
  execute_process(COMMAND ${work}/prefix/bin/${program} --help
                  RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
  if(NOT failed EQUAL 0)
    message(FATAL_ERROR "the installed ${program} --help ended with '${failed}'")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${work}/build
                        -DCMAKE_PREFIX_PATH=${work}/prefix -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
                        -DCMAKE_BUILD_TYPE=Release
                RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(failed)
  message(FATAL_ERROR "configuring the consumer failed:\n${log}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${work}/build
                RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(failed)
  message(FATAL_ERROR "building the consumer failed:\n${log}")
endif()
execute_process(COMMAND ${work}/build/consumer RESULT_VARIABLE failed OUTPUT_VARIABLE out)
set(expected "3: 1-4\n2: 1-4 2-4 1-2\n2: 1-4 1-3 3-4\n3: 2-4\n")
if(failed OR NOT out STREQUAL expected)
  message(FATAL_ERROR "the consumer printed:\n${out}\nexpected:\n${expected}")
endif()
file(REMOVE_RECURSE ${work})
