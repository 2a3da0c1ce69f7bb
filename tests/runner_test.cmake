# Runs velmora-run as a process, the way an admin would, and checks what it
# prints and the exit status it gives. Invoked by CTest with RUNNER,
# EMULATOR (empty unless cross-built), SOURCE_DIR and WORK_DIR.

include("${CMAKE_CURRENT_LIST_DIR}/runner_process.cmake")

# The bundled sample: both job log lines and the rewritten message.
run_runner()
expect_status(0 "bundled sample")
expect_contains("${run_out}" "[10,15] Velmora daemon loaded successfully" "bundled sample")
expect_contains("${run_out}" "[10,25] Autoreply from Bob Example <bob@example.org> found"
                "bundled sample")
expect_contains("${run_out}" "[10,25] MAIL FROM in autoreply modified by daemon" "bundled sample")
expect_contains("${run_out}" "MAIL FROM: autoreply@example.org" "bundled sample")
expect_contains("${run_out}" "RCPT TO: alice@example.net" "bundled sample")
if(NOT run_out MATCHES "Message:\r?\n    Message-ID: <ar[0-9]+@mail\\.example\\.org>\r?\n")
  message(FATAL_ERROR "bundled sample: new Message-ID is not the first line:\n${run_out}")
endif()
string(FIND "${run_out}" "autoreply.20261207091502.4711" old_id)
if(NOT old_id EQUAL -1)
  message(FATAL_ERROR "bundled sample: the old folded Message-ID was copied:\n${run_out}")
endif()
expect_contains("${run_out}" "Message-ID: <q4-figures.1207@example.net>" "body line kept")

# A message file of one's own, with options, written to a report file.
file(WRITE "${WORK_DIR}/ordinary.eml" "From: bob@example.org\nSubject: hi\n\nhello\n")
file(REMOVE "${WORK_DIR}/report.txt")
run_runner(--envelope-sender bob@example.org --rcpt x@example.net
           --output "${WORK_DIR}/report.txt" "${WORK_DIR}/ordinary.eml")
expect_status(0 "ordinary job")
file(READ "${WORK_DIR}/report.txt" report)
expect_contains("${report}" "DAEMON returned 0" "ordinary job")
expect_contains("${report}" "No replacement job was created." "ordinary job")

# Refused start-up.
run_runner(--host-version 2.19)
expect_status(1 "old host")
expect_contains("${run_out}" "could not load (version error)" "old host")

# Bad input: a clear one-line error and a distinct status each.
run_runner("${WORK_DIR}/no-such-message.eml")
expect_status(3 "missing message file")
expect_contains("${run_err}" "no such file or folder" "missing message file")
run_runner(--host-version two)
expect_status(2 "malformed option")
expect_contains("${run_err}" "--host-version" "malformed option")
run_runner(--module "${WORK_DIR}/ordinary.eml")
expect_status(4 "not a module")
run_runner(--help)
expect_status(0 "help")
expect_contains("${run_out}" "--envelope-sender" "help")
expect_contains("${run_out}" "[PATH...]" "help")

# An unknown option is named as such wherever it stands, even last.
run_runner(--bogus)
expect_status(2 "unknown option alone")
expect_contains("${run_err}" "unknown option --bogus" "unknown option alone")
run_runner("${SOURCE_DIR}/runner/samples" --bogus)
expect_status(2 "unknown option after a path")
expect_contains("${run_err}" "unknown option --bogus" "unknown option after a path")

# Nothing the runner writes replaces an input: a report file that names
# the message, or lies in a folder being walked, is refused before any job
# runs, and the message keeps its bytes.
file(READ "${WORK_DIR}/ordinary.eml" before)
file(MAKE_DIRECTORY "${WORK_DIR}/walked")
file(COPY "${WORK_DIR}/ordinary.eml" DESTINATION "${WORK_DIR}/walked")
foreach(case "${WORK_DIR}/ordinary.eml|${WORK_DIR}/ordinary.eml"
             "${WORK_DIR}/walked/results.txt|${WORK_DIR}/walked")
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 output)
  list(GET case 1 input)
  run_runner(--output "${output}" "${input}")
  expect_status(2 "report over an input")
  expect_contains("${run_err}" "nothing was written" "report over an input")
endforeach()
file(READ "${WORK_DIR}/ordinary.eml" after)
if(NOT after STREQUAL before OR EXISTS "${WORK_DIR}/walked/results.txt")
  message(FATAL_ERROR "report over an input: an input was written over or into")
endif()

# A mailbox: one job per message, each named PATH#N, the sender from the
# separator where there is no Return-Path:, ">From " unquoted, replacements
# saved as NAME-N.eml.
set(mbox "${WORK_DIR}/Autoreplies.mbox")
file(WRITE "${mbox}"
     "From MAILER-DAEMON Tue Dec  8 10:00:00 2026
X-Autoreply-From: a@example.org
"
     "Message-ID: <1@x>

>From the desk

"
     "From bob@example.org Tue Dec  8 10:01:00 2026
Subject: hi

body

"
     "From - Tue Dec  8 10:02:00 2026
Return-Path: <>
X-Autoreply-From: c@example.org

bye
")
file(REMOVE_RECURSE "${WORK_DIR}/mbox-saved")
run_runner(--out "${WORK_DIR}/mbox-saved" "${mbox}")
expect_status(0 "mailbox")
foreach(line "Autoreplies.mbox#1	rewritten" "Autoreplies.mbox#2	ordinary"
             "Autoreplies.mbox#3	rewritten" "# 3 messages: 2 rewritten")
  expect_contains("${run_out}" "${line}" "mailbox")
endforeach()
file(READ "${WORK_DIR}/mbox-saved/Autoreplies-1.eml" saved_first)
expect_contains("${saved_first}" "
From the desk" "mailbox")
if(NOT EXISTS "${WORK_DIR}/mbox-saved/Autoreplies-3.eml")
  message(FATAL_ERROR "mailbox: the third message's replacement was not saved")
endif()

# Standard input: a message gets the full report, a mailbox the lines.
set(run_input "${SOURCE_DIR}/runner/samples/vacation-8bit.eml")
run_runner(-)
expect_status(0 "message on standard input")
expect_contains("${run_out}" "DAEMON returned 1" "message on standard input")
set(run_input "${mbox}")
run_runner(-)
expect_status(0 "mailbox on standard input")
expect_contains("${run_out}" "-#3	rewritten" "mailbox on standard input")
unset(run_input)

# A message the module could not examine, because the stand-in server
# cannot write its temporary copy, is said so, with a status of its own.
if(NOT windows_runner)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${WORK_DIR}/no-such-tmp
                  ${EMULATOR} "${RUNNER}" "${SOURCE_DIR}/runner/samples"
                  RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
  expect_status(6 "no temporary folder")
  expect_contains("${run_out}" "vacation-8bit.eml	unexamined" "no temporary folder")
  expect_contains("${run_out}" "ordinary.eml	ordinary" "no temporary folder")
  expect_contains("${run_err}" "cannot make a folder of its own" "no temporary folder")
endif()

# On Windows: names in any script are listed, read and printed as UTF-8,
# whatever the system's code page; the report and the lines end in CR LF,
# never CR CR LF; a module that cannot be loaded is named with the
# system's own words for why.
if(windows_runner)
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
  foreach(args "" "${unicode_windows}" "--output;${WORK_DIR}/report-crlf.txt")
    execute_process(COMMAND ${EMULATOR} "${RUNNER}" ${args}
                    OUTPUT_FILE "${WORK_DIR}/stdout-crlf.txt" RESULT_VARIABLE status)
    set(written "${WORK_DIR}/stdout-crlf.txt")
    if(args MATCHES "--output")
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
endif()

include("${CMAKE_CURRENT_LIST_DIR}/runner_folder_test.cmake")
