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

# Stores of mail programs the last examples did not cover.
set(samples "${SOURCE_DIR}/runner/samples")

# A Mac mail client's .emlx: the message its first line counts. Its
# replacement holds neither that line nor the property list after it.
file(REMOVE_RECURSE "${WORK_DIR}/emlx-saved")
run_runner(--lines --save-to "${WORK_DIR}/emlx-saved" "${samples}/mac-mail-vacation.emlx")
expect_status(0 "emlx")
expect_contains("${run_out}" "mac-mail-vacation.emlx	rewritten" "emlx")
file(GLOB emlx_saved "${WORK_DIR}/emlx-saved/*")
list(LENGTH emlx_saved emlx_saved_count)
if(NOT emlx_saved_count EQUAL 1)
  message(FATAL_ERROR "emlx: ${emlx_saved_count} replacements saved, expected 1")
endif()
file(READ "${emlx_saved}" emlx_copy)
expect_lacks("${emlx_copy}" "plist" "emlx")
expect_lacks("${emlx_copy}" "644" "emlx")
expect_contains("${emlx_copy}" "I am travelling until 11 December" "emlx")

# Outlook Express's and Eudora's separators, "From ???@??? date", name no
# sender: an automatic reply in them is judged as under "From - date".
run_runner("${samples}/outlook-express.mbox")
expect_status(0 "From ???@???")
expect_contains("${run_out}" "outlook-express.mbox#1	rewritten" "From ???@???")
expect_contains("${run_out}" "outlook-express.mbox#2	ordinary" "From ???@???")

# The topmost Return-Path: gave the job its sender and is the delivering
# server's, not the message's: no replacement carries it, and a saved
# replacement run again is not taken for an automatic reply by it.
run_runner("${samples}/vacation-8bit.eml")
expect_status(0 "Return-Path: left out")
expect_lacks("${run_out}" "Return-Path" "Return-Path: left out")

# Compressed mail, with or without its extension, named, walked or piped:
# not-mail, said to be compressed. Text that is not mail, and the files a
# Mac mail client and nmh keep beside mail, are not run as messages.
set(store "${WORK_DIR}/store")
file(REMOVE_RECURSE "${store}")
file(MAKE_DIRECTORY "${store}")
file(COPY_FILE "${mbox}" "${store}/plain")
file(ARCHIVE_CREATE OUTPUT "${store}/Inbox.bz2" PATHS "${store}/plain" FORMAT raw
     COMPRESSION BZip2)
file(ARCHIVE_CREATE OUTPUT "${store}/Inbox.xz" PATHS "${store}/plain" FORMAT raw
     COMPRESSION XZ)
file(RENAME "${store}/plain" "${store}/Inbox")
file(COPY_FILE "${store}/Inbox.bz2" "${store}/Archive")
file(WRITE "${store}/index.html" "<!DOCTYPE html>\n<html><body>Mail: see inbox</body></html>\n")
file(WRITE "${store}/notes.txt" "Meeting notes: Monday\nSubject: the budget\n")
file(WRITE "${store}/addresses.csv" "name,email\nBob,bob@example.org\n")
file(WRITE "${store}/folder.xml" "<?xml version=\"1.0\"?>\n<folder name=\"Inbox\"/>\n")
file(WRITE "${store}/Info.plist" "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"/>\n")
file(WRITE "${store}/context" "Path: Mail\nCurrent-Folder: inbox\n")
set(sep "/")
if(windows_runner)
  set(sep "\\")
endif()
run_runner("${store}")
expect_status(0 "a store with what is not mail")
foreach(line "${sep}Archive	not-mail" "${sep}Inbox.bz2	not-mail" "${sep}Inbox.xz	not-mail"
             "${sep}index.html	not-mail" "${sep}notes.txt	not-mail"
             "${sep}addresses.csv	not-mail" "${sep}folder.xml	not-mail"
             "# 10 messages: 2 rewritten, 0 unable, 0 turned-away, 0 no-header, 1 ordinary, "
             "0 unexamined, 0 unreadable, 7 not-mail")
  expect_contains("${run_out}" "${line}" "a store with what is not mail")
endforeach()
expect_contains("${run_err}" "${sep}Archive: not mail: compressed (bzip2): unpack it first"
                "a store with what is not mail")
expect_contains("${run_err}" "${sep}Inbox.xz: not mail: compressed (xz): unpack it first"
                "a store with what is not mail")
expect_contains("${run_err}" "${sep}notes.txt: not mail: text whose first line is neither"
                "a store with what is not mail")
expect_contains("${run_err}" "Info.plist: skipped, a Mac mail client's settings"
                "a store with what is not mail")
expect_contains("${run_err}" "context: skipped, nmh's context" "a store with what is not mail")
run_runner("${store}/Archive")
expect_status(0 "a compressed mailbox named")
expect_contains("${run_out}" "Outcome: not-mail" "a compressed mailbox named")
expect_contains("${run_err}" "compressed (bzip2): unpack it first" "a compressed mailbox named")
set(run_input "${store}/Inbox.bz2")
run_runner(-)
expect_status(0 "a compressed mailbox piped")
expect_contains("${run_err}" "compressed (bzip2): unpack it first" "a compressed mailbox piped")
unset(run_input)
