# Reading a Windows PE image with the cross binutils' objdump, for the
# scripts that check what we ship (the DLL's binary interface, the package).
# Each function only reads and answers; the caller decides what fails.

# Runs `objdump -p` on FILE; sets <prefix>_dump to its text and
# <prefix>_lines to its lines as a list.
function(pe_read objdump file prefix)
  execute_process(COMMAND "${objdump}" -p "${file}" RESULT_VARIABLE status OUTPUT_VARIABLE dump
                  ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${objdump} -p ${file} failed: ${err}")
  endif()
  string(REPLACE ";" "," lines "${dump}")
  string(REPLACE "\n" ";" lines "${lines}")
  set(${prefix}_dump "${dump}" PARENT_SCOPE)
  set(${prefix}_lines "${lines}" PARENT_SCOPE)
endfunction()

# Sets OUT to the imported functions as "dll!name" (DLL names in lower
# case) and OUT_BY_ORDINAL to the lines of imports that have no name.
function(pe_imports lines out out_by_ordinal)
  set(imports "")
  set(by_ordinal "")
  set(current_dll "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]*DLL Name: (.+)$")
      string(STRIP "${CMAKE_MATCH_1}" name)
      string(TOLOWER "${name}" current_dll)
    elseif(current_dll AND line MATCHES "^\t[0-9a-f]+\t +[0-9]+ +([A-Za-z_][A-Za-z0-9_@?$]*)$")
      list(APPEND imports "${current_dll}!${CMAKE_MATCH_1}")
    elseif(current_dll AND line MATCHES "^\t[0-9a-f]+\t.*<none>")
      list(APPEND by_ordinal "${current_dll}: ${line}")
    elseif(line MATCHES "^There is an export table|^The Export Tables")
      set(current_dll "")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES imports)
  set(${out} "${imports}" PARENT_SCOPE)
  set(${out_by_ordinal} "${by_ordinal}" PARENT_SCOPE)
endfunction()

# Reads a list of "dll function" lines (# starts a comment) into OUT as
# "dll!function" entries, DLL names in lower case.
function(pe_read_function_list file out)
  file(STRINGS "${file}" list_lines REGEX "^[^#]")
  set(entries "")
  foreach(line IN LISTS list_lines)
    string(STRIP "${line}" line)
    if(line MATCHES "^([^ ]+) +([^ ]+)$")
      string(TOLOWER "${CMAKE_MATCH_1}" dll)
      list(APPEND entries "${dll}!${CMAKE_MATCH_2}")
    endif()
  endforeach()
  set(${out} "${entries}" PARENT_SCOPE)
endfunction()

# Sets OUT to the entries of IMPORTS that are not in ALLOWED.
function(pe_not_in imports allowed out)
  set(outside "")
  foreach(import IN LISTS imports)
    if(NOT import IN_LIST allowed)
      list(APPEND outside "${import}")
    endif()
  endforeach()
  set(${out} "${outside}" PARENT_SCOPE)
endfunction()

# Sets <prefix>_os and <prefix>_subsystem to the Windows versions the image
# says it needs ("5.1"), and <prefix>_newest to the higher of the two as a
# number (major * 100 + minor), to compare with 501 for Windows XP.
function(pe_versions dump prefix)
  set(newest 0)
  foreach(kind OSystem Subsystem)
    set(major 0)
    set(minor 0)
    if(dump MATCHES "Major${kind}Version[ \t]+([0-9]+)")
      set(major ${CMAKE_MATCH_1})
    endif()
    if(dump MATCHES "Minor${kind}Version[ \t]+([0-9]+)")
      set(minor ${CMAKE_MATCH_1})
    endif()
    math(EXPR version "${major} * 100 + ${minor}")
    if(version GREATER newest)
      set(newest ${version})
    endif()
    set(text_${kind} "${major}.${minor}")
  endforeach()
  set(${prefix}_os "${text_OSystem}" PARENT_SCOPE)
  set(${prefix}_subsystem "${text_Subsystem}" PARENT_SCOPE)
  set(${prefix}_newest ${newest} PARENT_SCOPE)
endfunction()

# Sets OUT to the names of the image's debug sections (.debug_*), from
# `objdump -h`.
function(pe_debug_sections objdump file out)
  execute_process(COMMAND "${objdump}" -h "${file}" OUTPUT_VARIABLE headers)
  string(REGEX MATCHALL "\\.debug_[a-z_]+" sections "${headers}")
  list(REMOVE_DUPLICATES sections)
  set(${out} "${sections}" PARENT_SCOPE)
endfunction()
