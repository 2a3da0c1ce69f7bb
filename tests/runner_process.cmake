# What the runner's process tests share: running it, and checking what it
# printed and the status it gave. Each test script includes this and is
# invoked by CTest with RUNNER, EMULATOR (empty unless cross-built),
# SOURCE_DIR and WORK_DIR (a folder of its own).

cmake_minimum_required(VERSION 3.25) # today's rules for lists and strings

set(windows_runner OFF)
if(RUNNER MATCHES "\\.exe$")
  set(windows_runner ON)
endif()

file(MAKE_DIRECTORY "${WORK_DIR}")

# Runs the runner with the given arguments; sets run_status, run_out, run_err.
# Standard input is `run_input` when set, else empty.
function(run_runner)
  set(input_file "${run_input}")
  if(NOT input_file)
    set(input_file "${WORK_DIR}/empty-input")
    file(WRITE "${input_file}" "")
  endif()
  execute_process(COMMAND ${EMULATOR} "${RUNNER}" ${ARGN} INPUT_FILE "${input_file}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(run_status "${status}" PARENT_SCOPE)
  set(run_out "${out}" PARENT_SCOPE)
  set(run_err "${err}" PARENT_SCOPE)
endfunction()

function(expect_status expected what)
  if(NOT run_status STREQUAL "${expected}")
    message(FATAL_ERROR "${what}: exit status ${run_status}, expected ${expected}\n"
                        "stdout:\n${run_out}\nstderr:\n${run_err}")
  endif()
endfunction()

function(expect_contains text needle what)
  string(FIND "${text}" "${needle}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${what}: missing '${needle}' in:\n${text}")
  endif()
endfunction()

function(expect_lacks text needle what)
  string(FIND "${text}" "${needle}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "${what}: '${needle}' should not be in:\n${text}")
  endif()
endfunction()

# `path` as the Windows runner takes it (under Wine); unchanged elsewhere.
function(runner_path path out_var)
  if(windows_runner)
    execute_process(COMMAND winepath -w "${path}" OUTPUT_VARIABLE converted
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(${out_var} "${converted}" PARENT_SCOPE)
  else()
    set(${out_var} "${path}" PARENT_SCOPE)
  endif()
endfunction()
