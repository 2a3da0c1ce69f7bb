# The runner as a process, the way an admin would use it on one message:
# the full report, its options, its errors and their exit statuses.

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
# Its first line says that it is the sample, so that it never passes for
# a run of one's own mail; also when mail is piped in, which is read only
# when named as "-".
string(REGEX MATCH "^[^\r\n]*" first_line "${run_out}")
expect_contains("${first_line}" "No PATH given: the built-in sample" "sample's first line")
set(run_input "${SOURCE_DIR}/runner/samples/ordinary.eml")
run_runner()
expect_status(0 "mail piped in without -")
string(REGEX MATCH "^[^\r\n]*" first_line "${run_out}")
expect_contains("${first_line}" "No PATH given: the built-in sample" "mail piped in without -")
unset(run_input)

# A PATH taken as an option's value (its own value forgotten) is refused,
# not run as the sample.
file(MAKE_DIRECTORY "${WORK_DIR}/Saved")
run_runner(--envelope-sender "${WORK_DIR}/Saved")
expect_status(2 "a PATH taken as an option's value")
expect_contains("${run_err}" "the value of --envelope-sender, is a folder"
                "a PATH taken as an option's value")

# An empty value for any option is refused, the option named: taken, it
# would have quietly turned the option off.
foreach(option --save-to --report --module --envelope-sender)
  execute_process(COMMAND ${EMULATOR} "${RUNNER}" "${option}=" "${SOURCE_DIR}/runner/samples"
                  RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
  expect_status(2 "${option}=")
  expect_contains("${run_err}" "option ${option} needs a value, got an empty one" "${option}=")
  execute_process(COMMAND ${EMULATOR} "${RUNNER}" "${option}" "" "${SOURCE_DIR}/runner/samples"
                  RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
  expect_status(2 "${option} with an empty argument")
  expect_contains("${run_err}" "option ${option} needs a value" "${option} with an empty argument")
endforeach()

# A message file of one's own, with options, written to a report file.
file(WRITE "${WORK_DIR}/ordinary.eml" "From: bob@example.org\nSubject: hi\n\nhello\n")
file(REMOVE "${WORK_DIR}/report.txt")
run_runner(--envelope-sender bob@example.org --rcpt x@example.net
           --report "${WORK_DIR}/report.txt" "${WORK_DIR}/ordinary.eml")
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
  run_runner(--report "${output}" "${input}")
  expect_status(2 "report over an input")
  expect_contains("${run_err}" "--report ${output}" "report over an input")
  expect_contains("${run_err}" "nothing was written" "report over an input")
endforeach()
# A report that names a folder is refused before anything runs, saying so.
run_runner(--report "${WORK_DIR}/walked" "${WORK_DIR}/ordinary.eml")
expect_status(2 "report into a folder")
expect_contains("${run_err}" "it is a folder; --report names a file" "report into a folder")
file(READ "${WORK_DIR}/ordinary.eml" after)
if(NOT after STREQUAL before OR EXISTS "${WORK_DIR}/walked/results.txt")
  message(FATAL_ERROR "report over an input: an input was written over or into")
endif()

# What the reader changed in the one message is said on standard error.
set(cr_only "${WORK_DIR}/cr-only.eml")
file(WRITE "${cr_only}" "Return-Path: <>\rX-Autoreply-From: bob@example.org\rSubject: away\r\rI am away.\r")
run_runner("${cr_only}")
expect_status(0 "one message with lone CRs")
expect_contains("${run_err}" "${cr_only}: 5 line ends of a lone CR read as LF" "one message with lone CRs")

# Standard input: a message gets the full report, a mailbox the lines.
set(run_input "${SOURCE_DIR}/runner/samples/vacation-8bit.eml")
run_runner(-)
expect_status(0 "message on standard input")
expect_contains("${run_out}" "DAEMON returned 1" "message on standard input")
unset(run_input)

# A message the module could not examine, because the stand-in server
# cannot write its temporary copy, is said so, with a status of its own.
# (A temporary folder that passes the trust rule but takes no new folder:
# /proc/self on Linux.)
if(NOT windows_runner AND EXISTS /proc/self)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TMPDIR=/proc/self
                  ${EMULATOR} "${RUNNER}" "${SOURCE_DIR}/runner/samples"
                  RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
  expect_status(6 "no temporary folder")
  expect_contains("${run_out}" "vacation-8bit.eml	unexamined" "no temporary folder")
  expect_contains("${run_out}" "ordinary.eml	ordinary" "no temporary folder")
  expect_contains("${run_err}" "cannot make a folder of its own" "no temporary folder")
  # The full report on that one message ends with the same status.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TMPDIR=/proc/self
                  ${EMULATOR} "${RUNNER}" "${SOURCE_DIR}/runner/samples/vacation-8bit.eml"
                  RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
  expect_status(6 "one message, no temporary folder")
  expect_contains("${run_out}" "Outcome: unexamined" "one message, no temporary folder")
  # A temporary folder named that is not there is passed over, said once.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${WORK_DIR}/no-such-tmp
                  ${EMULATOR} "${RUNNER}" --lines "${SOURCE_DIR}/runner/samples/ordinary.eml"
                  RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
  expect_status(0 "a temporary folder that is not there")
  string(REGEX MATCHALL "is not used" said "${run_err}")
  list(LENGTH said times)
  if(NOT times EQUAL 1)
    message(FATAL_ERROR "the temporary folder passed over, said ${times} times:\n${run_err}")
  endif()
  expect_contains("${run_err}" "TMPDIR=${WORK_DIR}/no-such-tmp is not used" "a temporary folder that is not there")

  # A temporary folder too deep for the server's 128-byte path buffer: the
  # copy goes into a folder of its own under /tmp, and the message is
  # examined.
  string(REPEAT "d" 100 deep_name)
  set(deep_tmp "${WORK_DIR}/${deep_name}")
  file(MAKE_DIRECTORY "${deep_tmp}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${deep_tmp}
                  ${EMULATOR} "${RUNNER}" --lines "${SOURCE_DIR}/runner/samples/vacation-8bit.eml"
                  RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
  expect_status(0 "a temporary folder too deep")
  expect_contains("${run_out}" "vacation-8bit.eml	rewritten" "a temporary folder too deep")
endif()


# --version names the module next to the runner and gives the SHA-256 of
# its file.
get_filename_component(runner_dir "${RUNNER}" DIRECTORY)
if(windows_runner)
  set(module "${runner_dir}/velmora.dll")
else()
  set(module "${runner_dir}/libvelmora.so")
endif()
run_runner(--version)
expect_status(0 "--version")
file(SHA256 "${module}" module_hash)
expect_contains("${run_out}" "  SHA-256 ${module_hash}" "--version")

# What cannot be written makes the run fail with status 5, also for a
# single message: the report or the lines, and the saved replacement. (Linux: /dev/full
# refuses every write, and no one may create a file in /proc/self.)
if(NOT windows_runner AND EXISTS /dev/full AND EXISTS /proc/self)
  set(sample "${SOURCE_DIR}/runner/samples/vacation-8bit.eml")
  foreach(args "${sample}" "--lines;${sample}")
    execute_process(COMMAND ${EMULATOR} "${RUNNER}" ${args} OUTPUT_FILE /dev/full
                    RESULT_VARIABLE run_status ERROR_VARIABLE run_err)
    expect_status(5 "standard output that cannot be written: ${args}")
  endforeach()
  run_runner(--save-to /proc/self "${sample}")
  expect_status(5 "a folder where nothing can be saved")
  expect_contains("${run_err}" "cannot save the replacement of ${sample}" "no room to save")
  # A device named as the report is no file of the user's: refused before
  # anything runs.
  run_runner(--report /dev/full "${sample}")
  expect_status(2 "a device as the report")
  expect_contains("${run_err}" "--report /dev/full: it is not a regular file" "a device as the report")
  # A file that opens but cannot be read is named in the error.
  if(NOT EMULATOR)
    run_runner(/proc/self/mem)
    expect_status(3 "a file that cannot be read")
    expect_contains("${run_err}" "cannot read /proc/self/mem: " "a file that cannot be read")
  endif()
endif()
