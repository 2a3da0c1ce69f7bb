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
