# Checks the binary interface of the shipped velmora.dll with the cross
# binutils' objdump, as a mail server on an old Windows would meet it:
#   - a 32-bit x86 (i386) image of at most MAX_BYTES bytes;
#   - exporting exactly STARTUP and DAEMON by their plain names;
#   - marked loadable from Windows XP on (OS and subsystem version <= 5.1);
#   - importing exactly the functions on IMPORTS, by name: what the module's
#     own code calls, each one Windows XP SP3 has. A runtime dragged back in
#     by a future change (start-up code, threads, the C++ unwinder, a
#     Vista-only call) fails here, and so does a new call of our own until
#     it is added to the list knowingly;
#   - marked DYNAMIC_BASE, NX_COMPAT and NO_SEH (it has no exception
#     handlers, so none of its addresses may serve as one);
#   - with no TLS directory: nothing of ours runs when the server's threads
#     start or end;
#   - where the link map (MAP) is given, with no constructor or destructor
#     entries: nothing of ours runs at load or unload but the entry point.
# Invoked by CTest with OBJDUMP, DLL, IMPORTS, MAX_BYTES and optionally MAP.

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

# ---- safety flags: relocatable, non-executable data, no SEH handlers ----
foreach(flag IN ITEMS DYNAMIC_BASE NX_COMPAT NO_SEH)
  if(NOT dump MATCHES "\n[ \t]+${flag}\n")
    fail("not marked ${flag}")
  endif()
endforeach()

# ---- imported functions: exactly the list ----
pe_read_function_list("${IMPORTS}" listed)
pe_imports("${dump_lines}" imports by_ordinal)
foreach(line IN LISTS by_ordinal)
  fail("imported by ordinal only: ${line}")
endforeach()
pe_not_in("${imports}" "${listed}" unlisted)
foreach(import IN LISTS unlisted)
  fail("imports ${import}, which is not on the list of functions the module calls")
endforeach()
pe_not_in("${listed}" "${imports}" unused)
foreach(import IN LISTS unused)
  fail("does not import ${import}, which the list names: take it off the list")
endforeach()

# ---- no TLS directory (data directory entry 9) ----
if(dump MATCHES "Entry 9 ([0-9a-fA-F]+) ([0-9a-fA-F]+) Thread Storage Directory")
  if(NOT "0x${CMAKE_MATCH_1}" EQUAL 0)
    fail("has a TLS directory: the C runtime's thread-local data support came along, "
         "and its callbacks would run on every thread of the server")
  endif()
endif()

# ---- no constructors or destructors, named by object from the link map ----
if(MAP AND EXISTS "${MAP}")
  file(READ "${MAP}" map)
  # An input section's line; a long name puts address and size on the next.
  string(REGEX MATCHALL
         "\n (\.ctors|\.dtors|\.init_array|\.fini_array|\.CRT\$X[CIPT])[^ \n]*(\n +| +)0x[^\n]*"
         entries "${map}")
  foreach(entry IN LISTS entries)
    if(entry MATCHES "0x[0-9a-f]+ +0x0*([1-9a-f][0-9a-f]*) +(.+)$")
      string(STRIP "${entry}" entry)
      fail("a constructor or destructor entry runs at load or unload: ${entry}")
    endif()
  endforeach()
endif()

if(failures)
  message(FATAL_ERROR "${DLL}:\n${failures}")
endif()
list(LENGTH imports import_count)
list(JOIN imports " " import_text)
message(STATUS "${DLL}: i386, ${size} bytes, exports ${exports}, OS ${image_os}, "
               "subsystem ${image_subsystem}, DYNAMIC_BASE NX_COMPAT NO_SEH, no TLS directory, "
               "no constructors; "
               "${import_count} imports: ${import_text}")
