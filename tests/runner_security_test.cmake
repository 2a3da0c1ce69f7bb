# The runner cannot be turned against the admin who runs it, often as root
# or Administrator, over other people's mail: not by files another user
# plants where it writes, nor by a module file it only checks, nor by DLLs
# dropped beside it, nor by what a message or a file name holds. Invoked
# by CTest with MARKER_MODULE (a library that leaves "loaded-marker.txt"
# in the current folder when it is loaded) besides the usual variables.

include("${CMAKE_CURRENT_LIST_DIR}/runner_process.cmake")

set(work "${WORK_DIR}/security")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")
set(sample "${SOURCE_DIR}/runner/samples/vacation-8bit.eml")
string(ASCII 27 esc)
string(ASCII 7 bel)
string(ASCII 13 cr)

# --version reads the module file and never loads it: a library that would
# leave a marker when loaded leaves none, and its hash is the file's.
set(marker_dir "${work}/version")
file(MAKE_DIRECTORY "${marker_dir}")
runner_path("${MARKER_MODULE}" marker_module)
execute_process(COMMAND ${EMULATOR} "${RUNNER}" --version --module "${marker_module}"
                WORKING_DIRECTORY "${marker_dir}" RESULT_VARIABLE run_status
                OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
expect_status(0 "--version on a module that runs code when loaded")
file(SHA256 "${MARKER_MODULE}" marker_hash)
expect_contains("${run_out}" "SHA-256 ${marker_hash}" "--version hashes the file's bytes")
if(EXISTS "${marker_dir}/loaded-marker.txt")
  message(FATAL_ERROR "--version loaded the module it was asked to check")
endif()
# The marker works: running jobs does load the module named.
execute_process(COMMAND ${EMULATOR} "${RUNNER}" --module "${marker_module}"
                WORKING_DIRECTORY "${marker_dir}" RESULT_VARIABLE run_status
                OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
expect_status(4 "a module without entry points")
if(NOT EXISTS "${marker_dir}/loaded-marker.txt")
  message(FATAL_ERROR "the marker library left no marker when loaded: the check above proves nothing")
endif()

# The single-message report shows a message's control bytes and indents
# its lines: no escape sequence reaches the terminal, and no line of the
# message passes for one of the report's own.
set(hostile "${work}/hostile.eml")
file(WRITE "${hostile}"
     "X-Autoreply-From: bob@example.org\nSubject: ${esc}]0;owned${bel}title ${esc}[8mhidden\n"
     "\nReplacement saved to /etc/passwd\nDAEMON returned 0\n")
runner_path("${hostile}" hostile_path)
run_runner("${hostile_path}")
expect_status(0 "escape sequences in a message")
expect_lacks("${run_out}" "${esc}" "escape sequences in a message")
expect_lacks("${run_out}" "${bel}" "escape sequences in a message")
expect_contains("${run_out}" "Subject: \\x1B]0;owned\\x07title \\x1B[8mhidden"
                "escape sequences in a message")
expect_contains("${run_out}" "\n    Replacement saved to /etc/passwd" "a forged report line")
if(run_out MATCHES "\nDAEMON returned 0")
  message(FATAL_ERROR "a message line passed for the report's own:\n${run_out}")
endif()

# Bytes and characters a terminal obeys or shows as nothing: 0x9B alone
# (CSI to 8-bit terminals) and U+009B, a right-to-left override, a
# zero-width space, and a byte that is not UTF-8. In a message's lines they
# show as escapes; the rest of the text is as it was.
execute_process(COMMAND printf "\\233;\\302\\233;\\342\\200\\256;\\342\\200\\213;\\351"
                OUTPUT_VARIABLE hidden)
list(GET hidden 0 csi_byte)
list(GET hidden 1 csi)
list(GET hidden 2 rlo)
list(GET hidden 3 zwsp)
list(GET hidden 4 latin1)
set(tricky "${work}/tricky.eml")
file(WRITE "${tricky}" "X-Autoreply-From: bob@example.org\n"
     "Subject: ${csi_byte}31m ${csi}2J invoice${rlo}gpj.exe pay${zwsp}pal caf${latin1} Grüße\n\nx\n")
runner_path("${tricky}" tricky_path)
run_runner("${tricky_path}")
expect_status(0 "hidden characters in a message")
expect_contains("${run_out}"
                "Subject: \\x9B31m \\u009B2J invoice\\u202Egpj.exe pay\\u200Bpal caf\\xE9 Grüße"
                "hidden characters in a message")
foreach(raw IN LISTS hidden)
  expect_lacks("${run_out}${run_err}" "${raw}" "hidden characters in a message")
endforeach()

if(windows_runner)
  # DLLs planted beside the runner in place of system ones are never
  # loaded, even where the system prefers a DLL of the program's folder to
  # its own copy (Wine told to prefer native DLLs, as Windows, which has no
  # built-in ones, does).
  set(planted "${work}/planted")
  file(MAKE_DIRECTORY "${planted}")
  get_filename_component(runner_dir "${RUNNER}" DIRECTORY)
  file(COPY "${RUNNER}" "${runner_dir}/velmora.dll" DESTINATION "${planted}")
  foreach(name winmm.dll version.dll)
    file(COPY_FILE "${MARKER_MODULE}" "${planted}/${name}")
  endforeach()
  file(COPY_FILE "${sample}" "${planted}/sample.eml")
  foreach(args "--version" "sample.eml")
    execute_process(COMMAND ${CMAKE_COMMAND} -E env "WINEDLLOVERRIDES=mscoree,mshtml=;winmm,version=n,b"
                            ${EMULATOR} "${planted}/velmora-run.exe" ${args}
                    WORKING_DIRECTORY "${planted}" RESULT_VARIABLE run_status
                    OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
    expect_status(0 "planted DLLs, ${args}")
    if(EXISTS "${planted}/loaded-marker.txt")
      message(FATAL_ERROR "planted DLLs, ${args}: a DLL beside the runner was loaded")
    endif()
  endforeach()
  expect_contains("${run_out}" "MAIL FROM in autoreply modified by daemon" "planted DLLs")
  # The marker works here too: named by its path as the module, the planted
  # copy loads.
  runner_path("${planted}/winmm.dll" planted_winmm)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env "WINEDLLOVERRIDES=mscoree,mshtml=;winmm,version=n,b"
                          ${EMULATOR} "${planted}/velmora-run.exe" --module "${planted_winmm}"
                  WORKING_DIRECTORY "${planted}" RESULT_VARIABLE run_status
                  OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
  if(NOT EXISTS "${planted}/loaded-marker.txt")
    message(FATAL_ERROR "the planted DLL left no marker when loaded: the checks above prove nothing")
  endif()
  return()
endif()

# POSIX: the stand-in's copies of users' mail. Links and a foreign file
# planted at the names the copies once had are neither followed nor written,
# and the run leaves nothing behind in the temporary folder.
set(tmp "${work}/tmp")
file(MAKE_DIRECTORY "${tmp}")
file(WRITE "${work}/victim" "untouched\n")
set(plant "for n in 0 1 2; do ln -s ${work}/victim ${tmp}/velmora-$$-$n.tmp; done; \
ln -s ${work}/created-by-the-run ${tmp}/velmora-$$-3.tmp; \
echo foreign > ${tmp}/velmora-$$-4.tmp; \
exec ${EMULATOR} ${RUNNER} --lines ${sample} ${sample} ${sample} ${sample} ${sample}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${tmp} sh -c "${plant}"
                RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
expect_status(0 "links planted at the old names of the copies")
expect_contains("${run_out}" "# 1 message: 1 rewritten" "links planted at the old names of the copies")
file(READ "${work}/victim" victim)
if(NOT victim STREQUAL "untouched\n" OR EXISTS "${work}/created-by-the-run")
  message(FATAL_ERROR "a planted link was written through")
endif()
file(GLOB left RELATIVE "${tmp}" "${tmp}/*")
list(FILTER left EXCLUDE REGEX "^velmora-[0-9]+-[0-4]\\.tmp$")
if(left)
  message(FATAL_ERROR "the run left in the temporary folder: ${left}")
endif()

# Saved mail is for this user alone, whatever the umask: the folder the run
# makes is 0700, every saved replacement 0600.
execute_process(COMMAND sh -c "umask 000; exec ${EMULATOR} ${RUNNER} --save-to ${work}/saved ${sample}"
                RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
expect_status(0 "saved replacements under umask 000")
execute_process(COMMAND stat -c "%a %n" "${work}/saved" "${work}/saved/vacation-8bit.eml"
                OUTPUT_VARIABLE modes)
expect_contains("${modes}" "700 ${work}/saved\n" "the folder for saved replacements")
expect_contains("${modes}" "600 ${work}/saved/vacation-8bit.eml\n" "a saved replacement")

# A file name holding an escape sequence and a carriage return is shown
# escaped; a pipe among the files is not waited on.
set(odd "${work}/odd")
file(MAKE_DIRECTORY "${odd}")
file(COPY_FILE "${sample}" "${odd}/a${esc}[8m${cr}b.eml")
execute_process(COMMAND mkfifo "${odd}/pipe")
execute_process(COMMAND ${EMULATOR} "${RUNNER}" "${odd}" TIMEOUT 60 RESULT_VARIABLE run_status
                OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
expect_status(3 "odd names and a pipe")
expect_contains("${run_out}" "a\\x1B[8m\\rb.eml\trewritten" "a name with control bytes")
expect_contains("${run_out}" "/pipe\tunreadable" "a pipe in a folder")
expect_lacks("${run_out}${run_err}" "${esc}" "a name with control bytes")

# POSIX, as the superuser over a folder that the user nobody owns: a link
# planted to a root-only file is skipped, not read; a hard link to a file
# of root's is refused; the user's own message is read. Skipped (said so)
# when the suite does not run as the superuser.
if(NOT windows_runner)
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND id -u nobody RESULT_VARIABLE no_nobody OUTPUT_QUIET ERROR_QUIET)
  if(NOT uid STREQUAL "0" OR NOT no_nobody EQUAL 0)
    message(STATUS "skipped: planted links and hard links need the superuser and the user nobody")
  else()
    set(planted "${work}/planted")
    set(secret_dir "${work}/root-only")
    file(MAKE_DIRECTORY "${planted}/cur" "${planted}/new" "${planted}/tmp" "${secret_dir}")
    file(WRITE "${secret_dir}/secret.eml"
         "X-Autoreply-From: bob@example.org\nSubject: SECRET-LINKED\n\nroot only\n")
    file(CREATE_LINK "${secret_dir}/secret.eml" "${planted}/cur/hard:2,S")
    file(CREATE_LINK "${secret_dir}/secret.eml" "${planted}/cur/soft:2,S" SYMBOLIC)
    file(COPY_FILE "${sample}" "${planted}/cur/own:2,S")
    execute_process(COMMAND chmod 700 "${secret_dir}")
    execute_process(COMMAND chown -R nobody "${planted}")
    execute_process(COMMAND chown -h root "${planted}/cur/hard:2,S")
    run_runner(--lines "${planted}")
    expect_contains("${run_out}" "${planted}/cur/own:2,S\trewritten" "a user's own message")
    expect_contains("${run_out}" "${planted}/cur/hard:2,S\tunreadable" "a hard link to root's file")
    expect_contains("${run_err}" "${planted}/cur/soft:2,S: skipped, a link, not followed"
                    "a planted link")
    expect_contains("${run_err}" "belongs to another user than its folder's owner"
                    "a hard link to root's file")
    expect_lacks("${run_out}" "SECRET" "planted links")
  endif()
endif()

# Where the runner writes, the way there must be trusted (as OpenSSH's
# StrictModes has it): a folder others may write to that is not sticky is
# refused, before anything runs, for --save-to, --report and TMPDIR.
set(open_folder "${work}/open")
file(MAKE_DIRECTORY "${open_folder}")
file(CHMOD "${open_folder}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
     GROUP_WRITE GROUP_EXECUTE WORLD_READ WORLD_WRITE WORLD_EXECUTE)
run_runner(--save-to "${open_folder}/saved" "${sample}")
expect_status(2 "--save-to below a folder anyone may write to")
expect_contains("${run_err}" "${open_folder} may be written by other users and is not sticky"
                "--save-to below a folder anyone may write to")
run_runner(--report "${open_folder}/report.txt" "${sample}")
expect_status(2 "--report in a folder anyone may write to")
if(EXISTS "${open_folder}/saved" OR EXISTS "${open_folder}/report.txt")
  message(FATAL_ERROR "something was written below a folder anyone may write to")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${open_folder}
                        ${EMULATOR} ${RUNNER} --lines ${sample}
                RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
expect_status(0 "TMPDIR anyone may write to")
expect_contains("${run_err}" "TMPDIR=${open_folder} is not used" "TMPDIR anyone may write to")
file(GLOB left "${open_folder}/*")
if(left)
  message(FATAL_ERROR "the run made its private folder in an untrusted TMPDIR: ${left}")
endif()

# The way is judged as it will be: "new/../mail/saved" with new/ missing
# is mail/saved, inside the folder read; refused, and new/ is not made.
set(cwd "${work}/dotdot")
file(MAKE_DIRECTORY "${cwd}/mail")
file(COPY_FILE "${sample}" "${cwd}/mail/a.eml")
execute_process(COMMAND ${EMULATOR} ${RUNNER} --save-to new/../mail/saved mail
                WORKING_DIRECTORY "${cwd}"
                RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
expect_status(2 "--save-to through a missing folder and ..")
expect_contains("${run_err}" "lies inside the folder mail that is read" "--save-to new/../mail")
if(EXISTS "${cwd}/new" OR EXISTS "${cwd}/mail/saved")
  message(FATAL_ERROR "--save-to new/../mail/saved made something before it was refused")
endif()

# Signals: one the run was started with ignored stays ignored (SIGHUP under
# nohup); one that ends the run takes the private folder with it. A reader
# gone from the pipe ends the run with status 5, the folder removed too.
set(box "${work}/box.mbox")
file(READ "${sample}" sample_text)
string(REPEAT "From a@example.org Mon Jan  1 00:00:00 2024\n${sample_text}\n" 3000 box_text)
file(WRITE "${box}" "${box_text}")
# The run waits on standard input while the signal comes; its private
# folder is made by then.
foreach(case "ignored;trap '' HUP;0" "default;:;129")
  list(GET case 0 label)
  list(GET case 1 trap)
  list(GET case 2 expected)
  set(hup_tmp "${work}/hup-${label}")
  file(MAKE_DIRECTORY "${hup_tmp}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${hup_tmp} sh -c
                  "${trap}; { cat ${sample}; sleep 2; } | ${EMULATOR} ${RUNNER} - >/dev/null 2>&1 & \
pid=$!; sleep 1; ls ${hup_tmp} > ${work}/hup-during; kill -HUP $pid; wait $pid; echo $?"
                  OUTPUT_VARIABLE hup_status OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT hup_status STREQUAL expected)
    message(FATAL_ERROR "SIGHUP, ${label}: status ${hup_status}, expected ${expected}")
  endif()
  file(READ "${work}/hup-during" during)
  if(NOT during MATCHES "^velmora-")
    message(FATAL_ERROR "SIGHUP, ${label}: no private folder while the run waited: the check proves nothing")
  endif()
  file(GLOB left "${hup_tmp}/*")
  if(left)
    message(FATAL_ERROR "SIGHUP, ${label}: the run left ${left}")
  endif()
endforeach()
set(pipe_tmp "${work}/pipe-tmp")
file(MAKE_DIRECTORY "${pipe_tmp}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${pipe_tmp} sh -c
                "(${EMULATOR} ${RUNNER} ${box} 2>/dev/null; echo $? > ${work}/pipe-status) | head -2"
                OUTPUT_VARIABLE run_out)
file(READ "${work}/pipe-status" pipe_status)
string(STRIP "${pipe_status}" pipe_status)
if(NOT pipe_status STREQUAL "5")
  message(FATAL_ERROR "a reader gone from the pipe: status ${pipe_status}, expected 5")
endif()
file(GLOB left "${pipe_tmp}/*")
if(left)
  message(FATAL_ERROR "a reader gone from the pipe: the run left ${left}")
endif()

# The private folder renamed away and a link planted under its name while
# the run waits: the cleanup empties the folder it holds and leaves where
# the link leads alone.
set(swap_tmp "${work}/swap-tmp")
file(MAKE_DIRECTORY "${swap_tmp}" "${work}/swap-victim")
file(WRITE "${work}/swap-victim/keep.txt" "untouched\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${swap_tmp} sh -c
                "{ cat ${sample}; sleep 2; } | ${EMULATOR} ${RUNNER} - >/dev/null 2>&1 & \
pid=$!; sleep 1; made=$(ls ${swap_tmp}); mv ${swap_tmp}/$made ${work}/swap-away; \
ln -s ${work}/swap-victim ${swap_tmp}/$made; wait $pid; echo $?"
                OUTPUT_VARIABLE swap_status OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT swap_status STREQUAL "0")
  message(FATAL_ERROR "the private folder swapped for a link: status ${swap_status}")
endif()
if(NOT EXISTS "${work}/swap-victim/keep.txt")
  message(FATAL_ERROR "the cleanup followed a link planted in place of the private folder")
endif()
file(GLOB left "${work}/swap-away/*")
if(left)
  message(FATAL_ERROR "the cleanup did not empty the folder it made: ${left}")
endif()

# What another user plants: only as root can the test be that user
# (nobody); elsewhere these checks are skipped.
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND id -u nobody RESULT_VARIABLE no_nobody OUTPUT_QUIET ERROR_QUIET)
if(NOT uid STREQUAL "0" OR no_nobody)
  message(STATUS "not run as root (or no user nobody): the checks of what another user plants are skipped")
  return()
endif()
set(shared "${work}/shared")
file(MAKE_DIRECTORY "${shared}" "${work}/root-target")
execute_process(COMMAND chmod 1777 "${shared}")
# A link the user planted as --save-to, or on the way to --report.
execute_process(COMMAND setpriv --reuid=nobody --regid=nogroup --clear-groups
                        ln -s "${work}/root-target" "${shared}/out"
                RESULT_VARIABLE planted)
if(NOT planted EQUAL 0)
  message(FATAL_ERROR "could not plant a link as nobody")
endif()
run_runner(--save-to "${shared}/out" "${sample}")
expect_status(2 "--save-to a link another user planted")
expect_contains("${run_err}" "${shared}/out is a link that belongs to another user"
                "--save-to a link another user planted")
run_runner(--report "${shared}/out/report.txt" "${sample}")
expect_status(2 "--report through a link another user planted")
file(GLOB written "${work}/root-target/*")
if(written)
  message(FATAL_ERROR "written through a planted link: ${written}")
endif()
# A report file the user made, readable by all, or a second name of one.
execute_process(COMMAND setpriv --reuid=nobody --regid=nogroup --clear-groups sh -c
                        "umask 0; echo mine > ${shared}/report.txt")
run_runner(--report "${shared}/report.txt" "${sample}")
expect_status(2 "--report over another user's file")
expect_contains("${run_err}" "belongs to another user" "--report over another user's file")
file(READ "${shared}/report.txt" report_text)
if(NOT report_text STREQUAL "mine\n")
  message(FATAL_ERROR "--report wrote over another user's file")
endif()
file(WRITE "${work}/own.txt" "own\n")
file(CREATE_LINK "${work}/own.txt" "${work}/second-name.txt")
run_runner(--report "${work}/second-name.txt" "${sample}")
expect_status(2 "--report over a file with two names")
expect_contains("${run_err}" "has other names" "--report over a file with two names")
# A folder of the user's on the way, and a TMPDIR of the user's.
file(MAKE_DIRECTORY "${work}/users")
execute_process(COMMAND chown nobody "${work}/users")
run_runner(--save-to "${work}/users/saved" "${sample}")
expect_status(2 "--save-to in another user's folder")
expect_contains("${run_err}" "${work}/users belongs to another user" "--save-to in another user's folder")
execute_process(COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${work}/users
                        ${EMULATOR} ${RUNNER} --lines ${sample}
                RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
expect_status(0 "TMPDIR of another user")
expect_contains("${run_err}" "TMPDIR=${work}/users is not used: ${work}/users belongs to another user"
                "TMPDIR of another user")

# So does a name whose characters would reorder or hide in a terminal,
# in the lines and in what standard error says of it.
set(odd "${work}/odd-unicode")
file(MAKE_DIRECTORY "${odd}")
file(COPY_FILE "${sample}" "${odd}/invoice${rlo}gpj${zwsp}.exe${csi_byte}.eml")
file(WRITE "${odd}/caf${latin1}${csi}.eml" "")
file(COPY_FILE "${sample}" "${odd}/new\nline${esc}.eml")
execute_process(COMMAND ${EMULATOR} "${RUNNER}" --save-to "${work}/odd-saved" "${odd}"
                RESULT_VARIABLE run_status OUTPUT_VARIABLE run_out ERROR_VARIABLE run_err)
expect_status(0 "names with hidden characters")
expect_contains("${run_out}" "/invoice\\u202Egpj\\u200B.exe\\x9B.eml\trewritten"
                "names with hidden characters")
expect_contains("${run_out}" "/caf\\xE9\\u009B.eml\tnot-mail" "names with hidden characters")
expect_contains("${run_err}" "/caf\\xE9\\u009B.eml: not mail: empty" "names with hidden characters")
foreach(raw IN LISTS hidden)
  expect_lacks("${run_out}${run_err}" "${raw}" "names with hidden characters")
endforeach()
# Saved, their names hold no control byte: each is '%' and hex.
file(GLOB saved RELATIVE "${work}/odd-saved" "${work}/odd-saved/*")
list(SORT saved)
if(NOT saved STREQUAL "invoice${rlo}gpj${zwsp}.exe%9B.eml;new%0Aline%1B.eml")
  message(FATAL_ERROR "names with hidden characters: saved as ${saved}")
endif()
