# Checks the binary interface of the shipped velmora.dll with the cross
# binutils' objdump, as a mail server on an old Windows would meet it:
#   - a 32-bit x86 (i386) image of at most MAX_BYTES bytes;
#   - exporting exactly STARTUP and DAEMON by their plain names;
#   - marked loadable from Windows XP on (OS and subsystem version <= 5.1);
#   - importing only functions on the allowlist (ALLOWLIST), which holds
#     functions that Windows XP SP3 has, so that a runtime dragged back in
#     by a future change (threads, the C++ unwinder, a Vista-only call)
#     fails here;
#   - with no TLS callbacks beyond the C runtime's own two (initialisation
#     and clean-up of thread-local data); where the link map (MAP) is given,
#     every callback must come from the C runtime's tlssup object.
# Invoked by CTest with OBJDUMP, DLL, ALLOWLIST, MAX_BYTES and optionally MAP.

cmake_minimum_required(VERSION 3.25)

set(failures "")
function(fail)
  string(CONCAT text ${ARGN})
  set(failures "${failures}  ${text}\n" PARENT_SCOPE)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/../support/pe_image.cmake)
pe_read("${OBJDUMP}" "${DLL}" image)
set(dump "${image_dump}")
set(dump_lines "${image_lines}")

# ---- machine and size ----
if(NOT dump MATCHES "file format pei-i386")
  fail("not a 32-bit x86 image")
endif()
file(SIZE "${DLL}" size)
if(size GREATER MAX_BYTES)
  fail("${size} bytes, more than the ${MAX_BYTES} a module of this size needs: "
       "something brought a runtime in")
endif()

# ---- exports: the lines of the name pointer table, "[   0] NAME" ----
set(exports "")
set(in_names FALSE)
foreach(line IN LISTS dump_lines)
  if(line MATCHES "\\[Ordinal/Name Pointer\\] Table")
    set(in_names TRUE)
  elseif(in_names AND line MATCHES "^[ \t]+\\[ *[0-9]+\\] (.+)$")
    list(APPEND exports "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(SORT exports)
if(NOT exports STREQUAL "DAEMON;STARTUP")
  fail("exports [${exports}], expected exactly [DAEMON;STARTUP]")
endif()

# ---- Windows versions the image says it needs ----
pe_versions("${dump}" image)
if(image_newest GREATER 501)
  fail("OS version ${image_os}, subsystem version ${image_subsystem}: above 5.1, "
       "Windows XP would refuse the DLL")
endif()

# ---- imported functions, each checked against the allowlist ----
pe_read_function_list("${ALLOWLIST}" allowed)
pe_imports("${dump_lines}" imports by_ordinal)
foreach(line IN LISTS by_ordinal)
  fail("imported by ordinal only: ${line}")
endforeach()
if(NOT imports)
  fail("no imported functions found")
endif()
pe_not_in("${imports}" "${allowed}" outside)
foreach(import IN LISTS outside)
  fail("imports ${import}, which is not on the allowlist of functions that Windows XP SP3 "
       "has and a plug-in may call")
endforeach()

# ---- TLS callbacks ----
# Reads COUNT 32-bit little-endian words at virtual address ADDRESS.
function(read_words address count out)
  math(EXPR stop "${address} + 4 * ${count}" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR start "${address}" OUTPUT_FORMAT HEXADECIMAL)
  execute_process(COMMAND "${OBJDUMP}" -s "--start-address=${start}" "--stop-address=${stop}"
                          "${DLL}" OUTPUT_VARIABLE contents)
  string(REPLACE "\n" ";" content_lines "${contents}")
  set(hex "")
  foreach(line IN LISTS content_lines)
    if(line MATCHES "^ [0-9a-f]+ (.+)$")
      string(SUBSTRING "${CMAKE_MATCH_1}" 0 35 columns)
      string(REPLACE " " "" columns "${columns}")
      string(APPEND hex "${columns}")
    endif()
  endforeach()
  # The dump stops at the end of the section: fewer words may come back.
  string(LENGTH "${hex}" digits)
  math(EXPR available "${digits} / 8")
  if(available LESS count)
    set(count ${available})
  endif()
  set(words "")
  if(count EQUAL 0)
    set(${out} "" PARENT_SCOPE)
    return()
  endif()
  math(EXPR last "${count} - 1")
  foreach(i RANGE ${last})
    math(EXPR at "${i} * 8")
    string(SUBSTRING "${hex}" ${at} 8 word)
    string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" word "${word}")
    list(APPEND words "0x${word}")
  endforeach()
  set(${out} "${words}" PARENT_SCOPE)
endfunction()

set(callback_count 0)
set(max_callbacks 2) # the C runtime's TLS initialisation and clean-up
if(dump MATCHES "ImageBase[ \t]+([0-9a-fA-F]+)")
  set(image_base "0x${CMAKE_MATCH_1}")
endif()
if(dump MATCHES "Entry 9 ([0-9a-fA-F]+) ([0-9a-fA-F]+) Thread Storage Directory")
  set(tls_rva "0x${CMAKE_MATCH_1}")
  if(NOT tls_rva EQUAL 0)
    math(EXPR tls_va "${image_base} + ${tls_rva}")
    # The directory's fourth word is the address of the callback list,
    # which ends with a null entry.
    read_words(${tls_va} 4 directory)
    list(GET directory 3 callbacks_va)
    if(NOT callbacks_va EQUAL 0)
      set(limit 16)
      read_words(${callbacks_va} ${limit} callbacks)
      foreach(callback IN LISTS callbacks)
        if(callback EQUAL 0)
          break()
        endif()
        math(EXPR callback_count "${callback_count} + 1")
      endforeach()
    endif()
  endif()
endif()
if(callback_count GREATER max_callbacks)
  fail("${callback_count} TLS callbacks, more than the C runtime's own ${max_callbacks}: "
       "something runs on every thread of the server")
endif()

# Where the link map is at hand, name what each TLS callback came from.
if(MAP AND EXISTS "${MAP}")
  file(READ "${MAP}" map)
  string(REGEX MATCHALL "\n \\.CRT\\$XL[B-Y][^\n]*\n?[^\n]*" entries "${map}")
  foreach(entry IN LISTS entries)
    if(NOT entry MATCHES "tlssup\\.o\\)")
      string(STRIP "${entry}" entry)
      fail("a TLS callback that is not the C runtime's: ${entry}")
    endif()
  endforeach()
endif()

if(failures)
  message(FATAL_ERROR "${DLL}:\n${failures}")
endif()
list(JOIN imports " " import_text)
message(STATUS "${DLL}: i386, ${size} bytes, exports ${exports}, OS ${image_os}, "
               "subsystem ${image_subsystem}, ${callback_count} TLS callbacks; "
               "imports ${import_text}")
