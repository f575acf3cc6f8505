# Installs the build into a scratch prefix, then builds and runs the embedding
# example against it through find_package and through pkg-config.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

# The engine's two components: what the library package and the development package hold.
foreach(component Library Development)
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component ${component})
endforeach()
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${WORK_DIR}/consumer
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
set(ENV{LD_LIBRARY_PATH} ${prefix}/lib)
run(${WORK_DIR}/consumer/embed)
if(NOT last_output MATCHES "run-time error 100 from clamp")
  message(FATAL_ERROR "unexpected output:\n${last_output}")
endif()
run(${WORK_DIR}/consumer/embed_cpp)
if(NOT last_output MATCHES "run-time error 2 from clamp")
  message(FATAL_ERROR "unexpected output:\n${last_output}")
endif()

set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
run(pkg-config --cflags --libs quorel32)
separate_arguments(flags UNIX_COMMAND "${last_output}")
run(cc ${SOURCE_DIR}/embed.c ${flags} -o ${WORK_DIR}/embed_pc)
run(${WORK_DIR}/embed_pc)
message(STATUS "installed engine works through find_package and pkg-config")
