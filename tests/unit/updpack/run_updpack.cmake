# Runs updpack with ARGS (comma-separated) and checks its exit code against
# EXPECT_RC, its stderr against each regular expression of EXPECT_STDERR
# (comma-separated), and with QUIET set that it printed nothing at all.
string(REPLACE "," ";" args "${ARGS}")
execute_process(COMMAND ${UPDPACK} ${args}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL EXPECT_RC)
  message(FATAL_ERROR "exit code ${rc}, expected ${EXPECT_RC}\nstdout:\n${out}\nstderr:\n${err}")
endif()
string(REPLACE "," ";" patterns "${EXPECT_STDERR}")
foreach(pattern IN LISTS patterns)
  if(NOT err MATCHES "${pattern}")
    message(FATAL_ERROR "stderr lacks \"${pattern}\":\n${err}")
  endif()
endforeach()
if(QUIET AND NOT "${out}${err}" STREQUAL "")
  message(FATAL_ERROR "expected no output, got:\n${out}${err}")
endif()
if(DEFINED EXPECT_STDOUT AND NOT out MATCHES "${EXPECT_STDOUT}")
  message(FATAL_ERROR "stdout lacks \"${EXPECT_STDOUT}\":\n${out}")
endif()
