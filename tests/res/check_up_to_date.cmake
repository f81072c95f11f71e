# Runs make_resources into OUTPUT and compares each picture with the one in COMMITTED.
file(REMOVE_RECURSE ${OUTPUT})
file(MAKE_DIRECTORY ${OUTPUT})
execute_process(COMMAND ${GENERATOR} ${OUTPUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "make_resources failed: ${rc}")
endif()
foreach(name rillo.ico nocursor.cur preview.bmp)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT}/${name} ${COMMITTED}/${name}
                  RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${COMMITTED}/${name} is not what make_resources draws; "
                        "regenerate it (see tools/make_resources/make_resources.cpp)")
  endif()
endforeach()
