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
