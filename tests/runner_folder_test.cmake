# The runner over folders, as a process: a mixed tree of saved mail with
# every outcome a healthy server gives, a nested folder and a Maildir.

include("${CMAKE_CURRENT_LIST_DIR}/runner_process.cmake")

set(tree "${WORK_DIR}/mixed")
set(saved "${WORK_DIR}/saved-replacements")
file(REMOVE_RECURSE "${tree}" "${saved}")
file(MAKE_DIRECTORY "${tree}/archive/2026" "${tree}/Maildir/cur" "${tree}/Maildir/new"
     "${tree}/Maildir/tmp")
set(samples "${SOURCE_DIR}/runner/samples")
file(COPY "${samples}/out-of-office-folded.eml" "${samples}/ordinary.eml"
     "${samples}/delivery-failure.eml" DESTINATION "${tree}")
file(COPY "${samples}/responder-without-address.eml" "${samples}/two-message-ids.eml"
     DESTINATION "${tree}/archive/2026")
file(COPY_FILE "${samples}/vacation-8bit.eml"
     "${tree}/Maildir/cur/1733639411.M1P2.mail.example.org:2,S")
file(COPY_FILE "${samples}/no-message-id.eml" "${tree}/Maildir/new/1733644960.M7P3.mail.example.org")
# Never mail: a delivery still being written, a hidden file.
file(COPY_FILE "${samples}/vacation-8bit.eml" "${tree}/Maildir/tmp/1733644999.M9P4.mail.example.org")
file(COPY_FILE "${samples}/vacation-8bit.eml" "${tree}/.hidden.eml")

# The lines of one run, in order: "relative path|outcome", the separator
# that Windows paths use.
set(expected
    "Maildir/cur/1733639411.M1P2.mail.example.org:2,S|rewritten"
    "Maildir/new/1733644960.M7P3.mail.example.org|rewritten"
    "archive/2026/responder-without-address.eml|turned-away"
    "archive/2026/two-message-ids.eml|rewritten"
    "delivery-failure.eml|no-header"
    "ordinary.eml|ordinary"
    "out-of-office-folded.eml|rewritten")
set(expected_summary "# 7 messages: 4 rewritten, 0 unable, 1 turned-away, 1 no-header, 1 ordinary, 0 unexamined, 0 unreadable, 0 not-mail, 0 too-large")
set(expected_status 0)
set(root "${tree}")
set(saved_root "${saved}")
set(separator "/")

if(windows_runner)
  # Windows cannot hold a file name with a colon; and the runner gets the
  # tree as a Windows path, as an admin would type it.
  file(RENAME "${tree}/Maildir/cur/1733639411.M1P2.mail.example.org:2,S"
       "${tree}/Maildir/cur/1733639411.M1P2.mail.example.org")
  list(TRANSFORM expected REPLACE ":2,S" "")
  file(MAKE_DIRECTORY "${saved}") # so that winepath surely names it
  foreach(folder tree saved)
    execute_process(COMMAND winepath -w "${${folder}}" OUTPUT_VARIABLE windows_path
                    OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE converted)
    if(NOT converted EQUAL 0 OR NOT windows_path MATCHES "^[A-Za-z]:\\\\")
      message(FATAL_ERROR "winepath cannot name ${${folder}} as a Windows path: ${windows_path}")
    endif()
    set(${folder}_windows "${windows_path}")
  endforeach()
  set(root "${tree_windows}")
  set(saved_root "${saved_windows}")
  set(separator "\\")
else()
  # A link inside a walked folder is skipped, not followed (here to a file
  # that is gone); a pipe is unreadable (it must not be opened: a reader
  # would wait for ever).
  file(CREATE_LINK "${WORK_DIR}/gone.eml" "${tree}/archive/dangling.eml" SYMBOLIC)
  execute_process(COMMAND mkfifo "${tree}/archive/pipe.eml" RESULT_VARIABLE made)
  if(NOT made EQUAL 0)
    message(FATAL_ERROR "cannot make a pipe for the test")
  endif()
  list(INSERT expected 4 "archive/pipe.eml|unreadable")
  set(expected_summary "# 8 messages: 4 rewritten, 0 unable, 1 turned-away, 1 no-header, 1 ordinary, 0 unexamined, 1 unreadable, 0 not-mail, 0 too-large")
  set(expected_status 3)
endif()

# Checks a folder run's lines against `expected`: every path in order, the
# outcome, a Message-ID of the module's form for each rewritten message
# and, when `with_files` is set, the saved file in `saved`. Sets
# `run_ids` and `run_files` to what the lines hold.
function(expect_lines with_files what)
  string(REPLACE "\r\n" "\n" out "${run_out}")
  string(REGEX REPLACE "\n$" "" out "${out}")
  string(REPLACE ";" "\\;" out "${out}")
  string(REPLACE "\n" ";" lines "${out}")
  list(LENGTH expected count)
  math(EXPR summary_index "${count}")
  list(LENGTH lines got)
  math(EXPR want "${count} + 1")
  if(NOT got EQUAL want)
    message(FATAL_ERROR "${what}: ${got} lines, expected ${want}:\n${run_out}\nstderr:\n${run_err}")
  endif()
  set(ids "")
  set(files "")
  set(i 0)
  foreach(entry IN LISTS expected)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 relative)
    list(GET parts 1 outcome)
    string(REPLACE "/" "${separator}" relative "${relative}")
    list(GET lines ${i} line)
    string(REPLACE "\t" ";" fields "${line}")
    list(GET fields 0 path)
    list(GET fields 1 got_outcome)
    if(NOT path STREQUAL "${root}${separator}${relative}" OR NOT got_outcome STREQUAL outcome)
      message(FATAL_ERROR "${what}: line ${i} is '${line}', expected ${relative} ${outcome}")
    endif()
    list(LENGTH fields field_count)
    if(outcome STREQUAL "rewritten")
      list(GET fields 2 id)
      if(NOT id MATCHES "^<ar[0-9]+@mail\\.example\\.org>$")
        message(FATAL_ERROR "${what}: no new Message-ID on '${line}'")
      endif()
      list(APPEND ids "${id}")
      if(with_files)
        list(GET fields 3 written)
        list(APPEND files "${written}")
      endif()
    elseif(NOT field_count EQUAL 2)
      message(FATAL_ERROR "${what}: extra fields on '${line}'")
    endif()
    math(EXPR i "${i} + 1")
  endforeach()
  list(GET lines ${summary_index} summary)
  if(NOT summary STREQUAL expected_summary)
    message(FATAL_ERROR "${what}: summary '${summary}', expected '${expected_summary}'")
  endif()
  set(unique_ids ${ids})
  list(REMOVE_DUPLICATES unique_ids)
  if(NOT unique_ids STREQUAL ids)
    message(FATAL_ERROR "${what}: a Message-ID given twice in one run: ${ids}")
  endif()
  set(run_ids "${ids}" PARENT_SCOPE)
  set(run_files "${files}" PARENT_SCOPE)
endfunction()

# A folder that does not exist: one line, nothing run, nothing printed.
run_runner("${root}" "${WORK_DIR}/no-such-folder")
expect_status(3 "missing folder")
expect_contains("${run_err}" "no-such-folder" "missing folder")
if(NOT run_out STREQUAL "")
  message(FATAL_ERROR "missing folder: jobs ran before the error:\n${run_out}")
endif()

# The tree, with each envelope sender from the message's Return-Path:,
# replacements saved.
run_runner(--save-to "${saved_root}" "${root}")
expect_status(${expected_status} "folder run")
expect_lines(ON "folder run")
if(run_err MATCHES "[0-9]+ of [0-9]+ messages")
  message(FATAL_ERROR "folder run: progress shown on standard error that is not a terminal")
endif()
if(NOT windows_runner)
  expect_contains("${run_err}" "${tree}/archive/dangling.eml: skipped, a link, not followed"
                  "folder run")
  expect_contains("${run_err}" "cannot read ${tree}/archive/pipe.eml: not a regular file"
                  "folder run")
endif()

# Each saved file is named after its source and holds the replacement as a
# receiver stores it: its envelope sender as Return-Path: on top, then the
# line's Message-ID, the old one gone, the rest of the source copied.
set(sources_rewritten "Maildir/cur/1733639411.M1P2.mail.example.org:2,S"
    "Maildir/new/1733644960.M7P3.mail.example.org" "archive/2026/two-message-ids.eml"
    "out-of-office-folded.eml")
if(windows_runner)
  list(TRANSFORM sources_rewritten REPLACE ":2,S" "")
endif()
set(i 0)
foreach(source IN LISTS sources_rewritten)
  list(GET run_files ${i} written)
  list(GET run_ids ${i} id)
  get_filename_component(name "${source}" NAME)
  # A Maildir name's flags are not the saved copy's.
  string(REGEX REPLACE ":2,[A-Za-z]*$" "" name "${name}")
  if(NOT written STREQUAL "${saved_root}${separator}${name}")
    message(FATAL_ERROR "saved as '${written}', expected ${name} in ${saved_root}")
  endif()
  # Read as hex: file(READ) as text drops carriage returns.
  file(READ "${saved}/${name}" copy HEX)
  string(HEX "Return-Path: <autoreply@example.org>\r\nMessage-ID: ${id}\r\n" first_lines)
  string(FIND "${copy}" "${first_lines}" at)
  if(NOT at EQUAL 0)
    message(FATAL_ERROR "${name}: does not start with its Return-Path: and the line "
                        "Message-ID: ${id}, each with CR LF")
  endif()
  file(STRINGS "${tree}/${source}" source_lines ENCODING UTF-8)
  file(STRINGS "${saved}/${name}" copy_lines ENCODING UTF-8)
  # Nor the delivering server's Return-Path: on top, which gave the job its
  # sender and is no part of the message that server queued.
  list(FILTER source_lines EXCLUDE REGEX "^Message-I[Dd]:|^[ \t]+<autoreply\\.|^Return-Path:")
  list(REMOVE_AT copy_lines 0 1)
  list(TRANSFORM source_lines REPLACE "\r$" "")
  list(TRANSFORM copy_lines REPLACE "\r$" "")
  if(NOT source_lines STREQUAL copy_lines)
    message(FATAL_ERROR "${name}: the saved replacement is not the source without its Message-ID "
                        "and Return-Path:")
  endif()
  math(EXPR i "${i} + 1")
endforeach()
file(GLOB saved_files RELATIVE "${saved}" "${saved}/*")
list(LENGTH saved_files saved_count)
if(NOT saved_count EQUAL 4)
  message(FATAL_ERROR "saved ${saved_count} files, expected the 4 replacements: ${saved_files}")
endif()

# Yesterday's replacements read again are what the server would see in
# them: jobs from the configured sender, ordinary, never re-sent.
run_runner(--lines "${saved_root}")
expect_status(0 "saved replacements read again")
expect_contains("${run_out}" "# 4 messages: 0 rewritten, 0 unable, 0 turned-away, 0 no-header, 4 ordinary"
                "saved replacements read again")

# A second run into the same folder replaces nothing: new names, old bytes.
# Senders come from Return-Path: without being asked for.
file(READ "${saved}/out-of-office-folded.eml" first_copy)
run_runner(--save-to "${saved_root}" "${root}")
expect_status(${expected_status} "second folder run")
expect_lines(ON "second folder run")
file(READ "${saved}/out-of-office-folded.eml" still)
if(NOT still STREQUAL first_copy OR NOT EXISTS "${saved}/out-of-office-folded-1.eml")
  message(FATAL_ERROR "second run: a saved replacement was overwritten or not saved anew")
endif()

# With --no-return-path every job has the null sender: the ordinary
# message is now looked into, and has no X-Autoreply-From.
list(TRANSFORM expected REPLACE "ordinary.eml\\|ordinary" "ordinary.eml|no-header")
string(REPLACE "1 turned-away, 1 no-header, 1 ordinary" "1 turned-away, 2 no-header, 0 ordinary"
       expected_summary "${expected_summary}")
run_runner(--no-return-path "${root}")
expect_status(${expected_status} "null senders")
expect_lines(OFF "null senders")

# One message with --save-to: the full report, and the replacement saved.
file(REMOVE_RECURSE "${WORK_DIR}/single-saved")
run_runner(--save-to "${WORK_DIR}/single-saved" "${samples}/vacation-8bit.eml")
expect_status(0 "single message saved")
expect_contains("${run_out}" "Replacement saved to" "single message saved")
if(NOT EXISTS "${WORK_DIR}/single-saved/vacation-8bit.eml")
  message(FATAL_ERROR "single message saved: no vacation-8bit.eml in the folder")
endif()

# A module that refuses to start runs no message, and says why.
run_runner(--host-version 2.19 "${root}")
expect_status(1 "folder run, old host")
expect_contains("${run_err}" "could not load (version error)" "folder run, old host")
if(NOT run_out STREQUAL "")
  message(FATAL_ERROR "folder run, old host: lines printed:\n${run_out}")
endif()

# A tab or line end in a file name would split a line's fields for a
# script: such bytes show as escapes. (Windows has no such names.)
if(NOT windows_runner)
  set(odd "${WORK_DIR}/odd-names")
  file(REMOVE_RECURSE "${odd}")
  file(WRITE "${odd}/tab\there\nand-newline.eml" "From: a@example.org\n\nx\n")
  run_runner("${odd}")
  expect_status(0 "odd names")
  if(NOT run_out STREQUAL "${odd}/tab\\there\\nand-newline.eml\tno-header\n# 1 message: 0 rewritten, 0 unable, 0 turned-away, 1 no-header, 0 ordinary, 0 unexamined, 0 unreadable, 0 not-mail, 0 too-large\n")
    message(FATAL_ERROR "odd names: control bytes in a path reached the line:\n${run_out}")
  endif()
endif()

# A message too large for the memory the runner may have is said so, with
# an outcome and the status of its own, and the run goes on with the next.
# (Linux, outside the sanitizers and emulators, which need the address
# space a limit takes away.)
if(NOT windows_runner AND NOT SANITIZED AND NOT EMULATOR)
  set(large "${WORK_DIR}/large")
  file(REMOVE_RECURSE "${large}")
  file(MAKE_DIRECTORY "${large}")
  file(WRITE "${large}/a-big.eml" "Return-Path: <>\nX-Autoreply-From: bob@example.org\n\n")
  execute_process(COMMAND sh -c "yes 'QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVphYmNkZWZnaGlq' | head -c 60000000 >> '${large}/a-big.eml'")
  file(COPY_FILE "${samples}/vacation-8bit.eml" "${large}/b-small.eml")
  execute_process(COMMAND sh -c "ulimit -v 100000; exec '${RUNNER}' '${large}'"
                  RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
  file(REMOVE "${large}/a-big.eml")
  expect_status(6 "a message too large to hold")
  expect_contains("${run_out}" "a-big.eml\ttoo-large\n" "a message too large to hold")
  expect_contains("${run_out}" "b-small.eml\trewritten\t<ar" "the run goes on after it")
  expect_contains("${run_err}" "a-big.eml: too large to hold in memory" "a message too large to hold")
endif()

# The progress line is on standard error's terminal; with the lines going
# to a file, it is left standing between messages and cleared once, at
# the end. (POSIX, where `script` gives the run a terminal.)
find_program(script_program script)
if(NOT windows_runner AND NOT EMULATOR AND script_program)
  set(shown "${WORK_DIR}/shown")
  file(REMOVE_RECURSE "${shown}")
  file(MAKE_DIRECTORY "${shown}")
  foreach(name a b c d)
    file(WRITE "${shown}/${name}.eml"
         "Return-Path: <>\nX-Autoreply-From: bob@example.org\nSubject: away\n\nI am away.\n")
  endforeach()
  execute_process(COMMAND "${script_program}" -q -e -c
                          "'${RUNNER}' --lines '${shown}' > '${WORK_DIR}/shown-lines.txt'" /dev/null
                  INPUT_FILE /dev/null RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out
                  ERROR_VARIABLE run_err)
  expect_status(0 "lines to a file, progress on a terminal")
  file(READ "${WORK_DIR}/shown-lines.txt" lines)
  expect_contains("${lines}" "d.eml\trewritten\t<ar" "lines to a file, progress on a terminal")
  string(REGEX MATCHALL "\r +\r" cleared "${run_out}")
  list(LENGTH cleared times)
  if(NOT times EQUAL 1)
    message(FATAL_ERROR "lines to a file: the progress line cleared ${times} times, "
                        "expected once, at the end:\n${run_out}")
  endif()
endif()
