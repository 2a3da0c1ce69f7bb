# Builds the admins' package with CPack and checks that the zip holds the
# module, the README and the license, and nothing else. Invoked by CTest
# with CPACK, BUILD_DIR, WORK_DIR and MODULE (the module's file name).

cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
execute_process(COMMAND "${CPACK}" -G ZIP -B "${WORK_DIR}"
                        --config "${BUILD_DIR}/CPackConfig.cmake"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${out}\n${err}")
endif()

file(GLOB zips "${WORK_DIR}/*.zip")
list(LENGTH zips count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one zip in ${WORK_DIR}, found: ${zips}")
endif()

execute_process(COMMAND "${CMAKE_COMMAND}" -E tar tf "${zips}"
                RESULT_VARIABLE status OUTPUT_VARIABLE listing)
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" entries "${listing}")
list(SORT entries)
set(expected LICENSE README.md "${MODULE}")
list(SORT expected)
if(NOT entries STREQUAL expected)
  message(FATAL_ERROR "the package holds [${entries}], expected [${expected}]")
endif()
message(STATUS "${zips}: ${entries}")
