# The runner over mailboxes, as a process: one job per message, each named
# PATH#N, from a file or from standard input.

include("${CMAKE_CURRENT_LIST_DIR}/runner_process.cmake")

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
run_runner(--save-to "${WORK_DIR}/mbox-saved" "${mbox}")
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

set(run_input "${mbox}")
run_runner(-)
expect_status(0 "mailbox on standard input")
expect_contains("${run_out}" "-#3	rewritten" "mailbox on standard input")
unset(run_input)

# Messages over the size limit are too-large without being read whole: a
# message file by its size (a sparse file of 1 GiB), a mailbox's message
# counted while it is read, and passed over to the next, standard input
# counted too. What is plainly not mail is told from its first block. Run
# in 100 MB of address space where that can be set (Linux, outside the
# sanitizers and emulators; 200 MB with the default limit of 64M):
# holding any of these whole would not fit.
find_program(truncate_program truncate)
if(NOT windows_runner AND truncate_program)
  set(big "${WORK_DIR}/big")
  file(REMOVE_RECURSE "${big}")
  file(MAKE_DIRECTORY "${big}")
  set(head "Return-Path: <>\nX-Autoreply-From: bob@example.org\nSubject: large\n\n")
  file(WRITE "${big}/a-sparse.eml" "${head}")
  file(WRITE "${big}/b.mbox" "From MAILER-DAEMON Tue Dec  8 10:00:00 2026\n${head}")
  file(WRITE "${big}/c-sparse.pdf" "%PDF-1.7\n")
  foreach(name a-sparse.eml b.mbox c-sparse.pdf)
    execute_process(COMMAND "${truncate_program}" -s 1G "${big}/${name}")
  endforeach()
  file(READ "${SOURCE_DIR}/runner/samples/vacation-8bit.eml" small)
  file(APPEND "${big}/b.mbox" "\n\nFrom MAILER-DAEMON Tue Dec  8 10:01:00 2026\n${small}")
  set(limit "")
  if(NOT SANITIZED AND NOT EMULATOR)
    set(limit "ulimit -v 100000;")
  endif()
  execute_process(COMMAND sh -c "${limit} exec '${RUNNER}' --max-size 2G '${big}/c-sparse.pdf'"
                  RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
  expect_status(0 "not mail, by its first block")
  expect_contains("${run_out}" "Outcome: not-mail" "not mail, by its first block")
  file(REMOVE "${big}/c-sparse.pdf")
  execute_process(COMMAND sh -c "${limit} exec '${RUNNER}' --max-size 1M '${big}'"
                  RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
  expect_status(6 "messages over the size limit")
  foreach(line "a-sparse.eml\ttoo-large\n" "b.mbox#1\ttoo-large\n" "b.mbox#2\trewritten\t<ar")
    expect_contains("${run_out}" "${line}" "messages over the size limit")
  endforeach()
  foreach(line "a-sparse.eml: over the size limit (--max-size 1M): not read"
               "b.mbox#1: over the size limit (--max-size 1M): not read")
    expect_contains("${run_err}" "${line}" "messages over the size limit")
  endforeach()
  # The default limit, and standard input piped, whose size is unknown:
  # read to one past the limit, in twice what the limit holds.
  if(limit)
    set(limit "ulimit -v 200000;")
  endif()
  set(text "yes 'QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVphYmNkZWZnaGlq' | head -c 100000000")
  execute_process(COMMAND sh -c "{ printf 'Return-Path: <>\\n\\n'; ${text}; } | { ${limit} exec '${RUNNER}' -; }"
                  RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
  expect_status(6 "standard input over the size limit")
  expect_contains("${run_out}" "Outcome: too-large" "standard input over the size limit")
  expect_contains("${run_err}" "-: over the size limit (--max-size 64M): not read"
                  "standard input over the size limit")
  file(REMOVE_RECURSE "${big}")
endif()
