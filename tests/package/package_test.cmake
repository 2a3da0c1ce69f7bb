# Builds the admins' package with CPack and checks it:
#   - the zip holds the module, the runner, README.txt, LICENSE.txt and
#     SHA256SUMS, nothing else;
#   - the text files have CR LF line ends, for Notepad on older Windows;
#   - README.txt is the admin's guide;
#   - SHA256SUMS gives the right sum for every other file in it;
#   - the runner carries no debug information, is marked runnable from
#     Windows XP on, and imports only functions on RUNNER_IMPORTS, which
#     Windows XP SP3 has: admins start it on those servers too.
# Invoked by CTest with CPACK, OBJDUMP, BUILD_DIR, WORK_DIR, MODULE and
# RUNNER (file names) and RUNNER_IMPORTS. Lists every finding, then fails.

cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../support/pe_image.cmake)

set(failures "")
function(fail)
  string(CONCAT text ${ARGN})
  set(failures "${failures}  ${text}\n" PARENT_SCOPE)
endfunction()

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
set(unpacked "${WORK_DIR}/unpacked")

# ---- what the zip holds ----
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar tf "${zips}"
                RESULT_VARIABLE status OUTPUT_VARIABLE listing)
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" entries "${listing}")
list(SORT entries)
set(expected LICENSE.txt README.txt SHA256SUMS "${MODULE}" "${RUNNER}")
list(SORT expected)
if(NOT entries STREQUAL expected)
  fail("the package holds [${entries}], expected [${expected}]")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xf "${zips}" WORKING_DIRECTORY "${unpacked}")

# ---- line ends of the text files ----
foreach(name README.txt LICENSE.txt SHA256SUMS)
  if(EXISTS "${unpacked}/${name}")
    # Read as bytes (a text read drops the CRs), one "xx " per byte.
    file(READ "${unpacked}/${name}" hex HEX)
    string(REGEX REPLACE "(..)" "\\1 " bytes "${hex}")
    string(REPLACE "0d 0a " "" bare "${bytes}")
    if(bare STREQUAL bytes OR bare MATCHES "0[ad] ")
      fail("${name} has line ends other than CR LF: Notepad before Windows 10 shows it as one "
           "long line")
    endif()
  endif()
endforeach()

# ---- README.txt is the admin's guide, not the developers' README ----
if(EXISTS "${unpacked}/README.txt")
  file(STRINGS "${unpacked}/README.txt" readme_lines LIMIT_COUNT 1)
  string(REGEX REPLACE "\r$" "" readme_title "${readme_lines}")
  if(NOT readme_title STREQUAL "# Velmora: the admin's guide")
    fail("README.txt starts with '${readme_title}', not the admin's guide's title")
  endif()
endif()

# ---- every file but SHA256SUMS itself has its line, with the right sum ----
set(summed "")
if(EXISTS "${unpacked}/SHA256SUMS")
  file(STRINGS "${unpacked}/SHA256SUMS" sum_lines)
endif()
foreach(line IN LISTS sum_lines)
  string(REGEX REPLACE "\r$" "" line "${line}")
  if(NOT line MATCHES "^([0-9a-f]+)  (.+)$")
    fail("SHA256SUMS line not in sha256sum's format: ${line}")
    continue()
  endif()
  set(name "${CMAKE_MATCH_2}")
  set(sum "${CMAKE_MATCH_1}")
  if(NOT EXISTS "${unpacked}/${name}")
    fail("SHA256SUMS names ${name}, which the package does not hold")
    continue()
  endif()
  file(SHA256 "${unpacked}/${name}" actual)
  if(NOT actual STREQUAL sum)
    fail("SHA256SUMS gives ${sum} for ${name}, the file has ${actual}")
  endif()
  list(APPEND summed "${name}")
endforeach()
set(want_summed ${expected})
list(REMOVE_ITEM want_summed SHA256SUMS)
list(SORT summed)
if(NOT summed STREQUAL want_summed)
  fail("SHA256SUMS covers [${summed}], expected [${want_summed}]")
endif()

# ---- the runner, as a Windows XP or Server 2003 machine would meet it ----
set(runner "${unpacked}/${RUNNER}")
if(EXISTS "${runner}")
  file(SIZE "${runner}" runner_size)
  pe_debug_sections("${OBJDUMP}" "${runner}" debug_sections)
  list(LENGTH debug_sections debug_count)
  if(debug_count GREATER 0)
    list(JOIN debug_sections " " debug_text)
    fail("${RUNNER} carries ${debug_count} debug sections (${runner_size} bytes): ${debug_text}")
  endif()
  pe_read("${OBJDUMP}" "${runner}" image)
  if(image_dump MATCHES "Time/Date[ \t]+([^\n]+)")
    set(link_time "${CMAKE_MATCH_1}")
    if(NOT link_time MATCHES " 1970$")
      fail("${RUNNER} records its link time (${link_time}): two builds would differ")
    endif()
  endif()
  pe_versions("${image_dump}" image)
  if(image_newest GREATER 501)
    fail("${RUNNER} needs OS version ${image_os}, subsystem version ${image_subsystem}: "
         "Windows XP would refuse to start it")
  endif()
  pe_read_function_list("${RUNNER_IMPORTS}" allowed)
  pe_imports("${image_lines}" imports by_ordinal)
  foreach(line IN LISTS by_ordinal)
    fail("${RUNNER} imports by ordinal only: ${line}")
  endforeach()
  if(NOT imports)
    fail("${RUNNER}: no imported functions found")
  endif()
  pe_not_in("${imports}" "${allowed}" outside)
  foreach(import IN LISTS outside)
    fail("${RUNNER} imports ${import}, which is not on the list of functions from Windows "
         "XP SP3 it may use")
  endforeach()
  list(LENGTH imports import_count)
endif()

if(failures)
  message(FATAL_ERROR "${zips}:\n${failures}")
endif()
message(STATUS "${zips}: ${entries}; sums checked; text files with CR LF; ${RUNNER} "
               "${runner_size} bytes, no debug sections, OS ${image_os}, subsystem "
               "${image_subsystem}, ${import_count} imports, all in Windows XP SP3")
