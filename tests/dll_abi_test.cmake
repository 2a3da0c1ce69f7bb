# Checks the binary interface of the shipped velmora.dll with the cross
# binutils' objdump: a 32-bit x86 (i386) image, exporting exactly STARTUP
# and DAEMON by their plain names, importing only from DLLs that every
# Windows ships. Invoked by CTest with OBJDUMP and DLL.

cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND "${OBJDUMP}" -p "${DLL}" RESULT_VARIABLE status OUTPUT_VARIABLE dump
                ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed: ${err}")
endif()

# Machine type.
if(NOT dump MATCHES "file format pei-i386")
  message(FATAL_ERROR "velmora.dll is not a 32-bit x86 image:\n${dump}")
endif()

# Export names: the lines of the name pointer table, "[   0] NAME".
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
if(at EQUAL -1)
  message(FATAL_ERROR "velmora.dll has no export name table")
endif()
string(SUBSTRING "${dump}" ${at} -1 names_part)
string(REGEX MATCHALL "\n[ \t]+\\[ *[0-9]+\\] [^\n]+" name_lines "${names_part}")
set(exports "")
foreach(line IN LISTS name_lines)
  string(REGEX REPLACE "^\n[ \t]+\\[ *[0-9]+\\] " "" name "${line}")
  list(APPEND exports "${name}")
endforeach()
list(SORT exports)
if(NOT exports STREQUAL "DAEMON;STARTUP")
  message(FATAL_ERROR "velmora.dll exports [${exports}], expected exactly [DAEMON;STARTUP]")
endif()

# Imported DLLs, compared without regard to case as Windows does.
string(REGEX MATCHALL "DLL Name: [^\n]+" import_lines "${dump}")
set(allowed kernel32.dll msvcrt.dll winmm.dll)
set(imports "")
foreach(line IN LISTS import_lines)
  string(REGEX REPLACE "^DLL Name: " "" name "${line}")
  string(STRIP "${name}" name)
  string(TOLOWER "${name}" lower)
  list(APPEND imports "${name}")
  if(NOT lower IN_LIST allowed)
    message(FATAL_ERROR "velmora.dll imports ${name}, which not every Windows has "
                        "(allowed: ${allowed})")
  endif()
endforeach()
if(NOT imports)
  message(FATAL_ERROR "no import table found in:\n${dump}")
endif()
message(STATUS "velmora.dll: i386, exports ${exports}, imports ${imports}")
