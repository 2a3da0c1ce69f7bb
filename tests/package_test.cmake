# Builds the admins' package with CPack and checks it: the zip holds the
# module, the runner, the README, the license and SHA256SUMS, nothing else,
# and SHA256SUMS gives the right sum for every other file in it. Invoked by
# CTest with CPACK, BUILD_DIR, WORK_DIR, MODULE and RUNNER (file names).

cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/unpacked")
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
set(expected LICENSE README.md SHA256SUMS "${MODULE}" "${RUNNER}")
list(SORT expected)
if(NOT entries STREQUAL expected)
  message(FATAL_ERROR "the package holds [${entries}], expected [${expected}]")
endif()

# Every file but SHA256SUMS itself has its line, with the right sum.
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xf "${zips}"
                WORKING_DIRECTORY "${WORK_DIR}/unpacked" RESULT_VARIABLE status)
file(STRINGS "${WORK_DIR}/unpacked/SHA256SUMS" sum_lines)
set(summed "")
foreach(line IN LISTS sum_lines)
  if(NOT line MATCHES "^([0-9a-f]+)  (.+)$")
    message(FATAL_ERROR "SHA256SUMS line not in sha256sum's format: ${line}")
  endif()
  set(name "${CMAKE_MATCH_2}")
  file(SHA256 "${WORK_DIR}/unpacked/${name}" actual)
  if(NOT actual STREQUAL CMAKE_MATCH_1)
    message(FATAL_ERROR "SHA256SUMS gives ${CMAKE_MATCH_1} for ${name}, the file has ${actual}")
  endif()
  list(APPEND summed "${name}")
endforeach()
set(want_summed ${expected})
list(REMOVE_ITEM want_summed SHA256SUMS)
list(SORT summed)
if(NOT summed STREQUAL want_summed)
  message(FATAL_ERROR "SHA256SUMS covers [${summed}], expected [${want_summed}]")
endif()
message(STATUS "${zips}: ${entries}; sums checked")
