# The Windows runner as a process, under Wine: names in any script are
# listed, read and printed as UTF-8, whatever the system's code page; the
# report and the lines end in CR LF, never CR CR LF; paths past 260
# characters; a module that cannot be loaded is named with the system's own
# words for why.

include("${CMAKE_CURRENT_LIST_DIR}/runner_process.cmake")

set(unicode "${WORK_DIR}/unicode")
file(REMOVE_RECURSE "${unicode}")
file(MAKE_DIRECTORY "${unicode}")
foreach(name "Привет.eml" "日本.eml")
  file(COPY_FILE "${SOURCE_DIR}/runner/samples/vacation-8bit.eml" "${unicode}/${name}")
endforeach()
execute_process(COMMAND winepath -w "${unicode}" OUTPUT_VARIABLE unicode_windows
                OUTPUT_STRIP_TRAILING_WHITESPACE)
run_runner("${unicode_windows}")
expect_status(0 "names in any script")
expect_contains("${run_out}" "\\Привет.eml\trewritten\t<ar" "names in any script")
expect_contains("${run_out}" "\\日本.eml\trewritten\t<ar" "names in any script")
# Read as hex, byte by byte: CMake drops carriage returns from text.
foreach(args "" "${unicode_windows}" "--report;${WORK_DIR}/report-crlf.txt")
  execute_process(COMMAND ${EMULATOR} "${RUNNER}" ${args}
                  OUTPUT_FILE "${WORK_DIR}/stdout-crlf.txt" RESULT_VARIABLE status)
  set(written "${WORK_DIR}/stdout-crlf.txt")
  if(args MATCHES "--report")
    set(written "${WORK_DIR}/report-crlf.txt")
  endif()
  file(READ "${written}" bytes HEX)
  string(REGEX REPLACE "(..)" "\\1 " bytes "${bytes}")
  if(NOT status EQUAL 0 OR NOT bytes MATCHES "0d 0a " OR bytes MATCHES "(^|0d 0d |[^d] |[^0]d )0a ")
    message(FATAL_ERROR "line ends of '${args}': not CR LF throughout: ${bytes}")
  endif()
endforeach()
# A message deeper than Windows' old limit of 260 characters.
set(deep "${unicode}")
foreach(level RANGE 5)
  string(APPEND deep "/folder-${level}-with-a-long-name-to-pass-the-old-limit-of-windows")
endforeach()
file(MAKE_DIRECTORY "${deep}")
file(COPY_FILE "${SOURCE_DIR}/runner/samples/vacation-8bit.eml" "${deep}/deep.eml")
run_runner("${unicode_windows}")
expect_status(0 "path over 260 characters")
expect_contains("${run_out}" "windows\\deep.eml\trewritten" "path over 260 characters")
run_runner(--module "${WORK_DIR}/no-such-module.dll")
expect_status(4 "module not found")
if(NOT run_err MATCHES "no-such-module.dll: [A-Za-z][^\n]* \\(error 126\\)")
  message(FATAL_ERROR "module not found: no reason in words:\n${run_err}")
endif()

# Windows programs take /? for their help.
run_runner("/?")
expect_status(0 "/?")
expect_contains("${run_out}" "Usage: velmora-run" "/?")

# A file that is no DLL is named in the error where the system's words
# leave a place for it ("Bad EXE format for %1").
file(WRITE "${WORK_DIR}/not-a-dll.dll" "hello\n")
runner_path("${WORK_DIR}/not-a-dll.dll" not_a_dll)
run_runner(--module "${not_a_dll}")
expect_status(4 "a module that is no DLL")
expect_lacks("${run_err}" "%1" "a module that is no DLL")
expect_contains("${run_err}" "not-a-dll.dll (error 193)" "a module that is no DLL")

# The stand-in's copies go into a folder of its own in TEMP, which the
# module names in the system's 8-bit code page and in at most 128 bytes:
# a TEMP named in another script, or deeper than that, is reached by its
# short form, and the message is examined. TEMP is set as Windows sets it,
# in the environment a command shell passes on.
set(temps "${WORK_DIR}/temp/Привет")
string(REPEAT "a" 60 deep_a)
string(REPEAT "b" 70 deep_b)
list(APPEND temps "${WORK_DIR}/temp/${deep_a}/${deep_b}")
runner_path("${RUNNER}" runner_windows)
runner_path("${SOURCE_DIR}/runner/samples/vacation-8bit.eml" sample_windows)
foreach(temp IN LISTS temps)
  file(MAKE_DIRECTORY "${temp}")
  runner_path("${temp}" temp_windows)
  execute_process(COMMAND ${EMULATOR} cmd /c
                          "set TEMP=${temp_windows}&& set TMP=${temp_windows}&& ${runner_windows} --lines ${sample_windows}"
                  RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
  expect_status(0 "TEMP at ${temp}")
  expect_lacks("${run_err}" "is not used" "TEMP at ${temp}")
  expect_contains("${run_out}" "vacation-8bit.eml\trewritten\t<ar" "TEMP at ${temp}")
  file(GLOB left "${temp}/*")
  if(left)
    message(FATAL_ERROR "TEMP at ${temp}: the run left ${left}")
  endif()
endforeach()

# Where the runner writes, the way there must be trusted: each folder on
# it belongs to the user or the system, and nobody else may add, remove or
# replace what is in it. Wine makes a folder's DACL from its Unix mode (a
# folder anyone may write to lets Everyone, S-1-1-0, change it) and its
# owner from the Unix owner (another user's is Anonymous, S-1-5-7).
set(open_folder "${WORK_DIR}/trust/open")
file(REMOVE_RECURSE "${WORK_DIR}/trust")
file(MAKE_DIRECTORY "${open_folder}")
file(CHMOD "${open_folder}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
     GROUP_WRITE GROUP_EXECUTE WORLD_READ WORLD_WRITE WORLD_EXECUTE)
runner_path("${open_folder}" open_windows)
run_runner(--save-to "${open_windows}\\saved" "${sample_windows}")
expect_status(2 "--save-to below a folder anyone may write to")
expect_contains("${run_err}" "${open_windows} lets S-1-1-0 add, remove or replace what is in it"
                "--save-to below a folder anyone may write to")
run_runner(--report "${open_windows}\\report.txt" "${sample_windows}")
expect_status(2 "--report in a folder anyone may write to")
expect_contains("${run_err}" "${open_windows} lets S-1-1-0" "--report in a folder anyone may write to")
execute_process(COMMAND ${EMULATOR} cmd /c
                        "set TEMP=${open_windows}&& set TMP=${open_windows}&& ${runner_windows} --lines ${sample_windows}"
                RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
expect_status(0 "TMP anyone may write to")
expect_contains("${run_err}" "(TMP) is not used: ${open_windows} lets S-1-1-0"
                "TMP anyone may write to")
expect_contains("${run_out}" "vacation-8bit.eml\trewritten\t<ar" "TMP anyone may write to")
file(GLOB left "${open_folder}/*")
if(left)
  message(FATAL_ERROR "something was written below a folder anyone may write to: ${left}")
endif()
# A report file made by the run is the user's: replaced on the next run.
run_runner(--report "${WORK_DIR}/trust/report.txt" "${sample_windows}")
expect_status(0 "--report made by the run")
run_runner(--report "${WORK_DIR}/trust/report.txt" "${sample_windows}")
expect_status(0 "--report over one the run made")
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND id -u nobody RESULT_VARIABLE no_nobody OUTPUT_QUIET ERROR_QUIET)
if(NOT uid STREQUAL "0" OR no_nobody)
  message(STATUS "not run as root (or no user nobody): another user's folder is not tried")
  return()
endif()
set(users_folder "${WORK_DIR}/trust/users")
file(MAKE_DIRECTORY "${users_folder}")
execute_process(COMMAND chown nobody "${users_folder}")
runner_path("${users_folder}" users_windows)
run_runner(--save-to "${users_windows}\\saved" "${sample_windows}")
expect_status(2 "--save-to in another user's folder")
expect_contains("${run_err}" "${users_windows} belongs to another user (S-1-5-7)"
                "--save-to in another user's folder")
file(WRITE "${WORK_DIR}/trust/theirs.txt" "theirs\n")
execute_process(COMMAND chown nobody "${WORK_DIR}/trust/theirs.txt")
run_runner(--report "${WORK_DIR}/trust/theirs.txt" "${sample_windows}")
expect_status(2 "--report over another user's file")
expect_contains("${run_err}" "the file there belongs to another user (S-1-5-7)"
                "--report over another user's file")
file(READ "${WORK_DIR}/trust/theirs.txt" theirs)
if(NOT theirs STREQUAL "theirs\n")
  message(FATAL_ERROR "--report wrote over another user's file")
endif()
