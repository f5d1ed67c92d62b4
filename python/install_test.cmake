# Installs the component 'python' of BUILD_DIR under the staging folder
# WORK_DIR (as DESTDIR) and imports the package from there with PYTHON:
# the installed files must be a working module.
set(work ${WORK_DIR})
file(REMOVE_RECURSE ${work})
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${work}
                        ${CMAKE_COMMAND} --install ${BUILD_DIR} --component python
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "installing the component python failed")
endif()
set(package ${work}${INSTALL_DIR}/tavrel)
foreach(file __init__.py _batches.py _mining.py _result.py _tavrel.pyi py.typed)
  if(NOT EXISTS ${package}/${file})
    message(FATAL_ERROR "${package}/${file} was not installed")
  endif()
endforeach()
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${work}${INSTALL_DIR} PYTHONDONTWRITEBYTECODE=1
          ${PYTHON} -c "import tavrel; print(tavrel.__file__); print(tavrel.mine([[1, 2], [1, 2]], 2)[0])"
  WORKING_DIRECTORY ${work}
  RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
set(expected "${package}/__init__.py\nPattern(number=1, support=2, edges=[(1, 2)])\n")
if(failed OR NOT out STREQUAL expected)
  message(FATAL_ERROR "the installed module printed:\n${out}\nexpected:\n${expected}")
endif()
file(REMOVE_RECURSE ${work})
