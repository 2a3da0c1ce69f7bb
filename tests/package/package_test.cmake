# Builds the admins' package with CPack and checks it:
#   - the zip holds the module, the runner, README.txt, CHANGES.txt,
#     LICENSE.txt and SHA256SUMS, nothing else;
#   - README.txt is docs/admin-guide.md and CHANGES.txt is docs/changes.md,
#     byte for byte but for CR LF line ends; the list of changes has an
#     entry for the version packaged;
#   - the texts read in Notepad on every Windows: CR LF line ends, plain
#     ASCII without tabs, lines of at most 80 characters, no Markdown marks
#     (backticks, '#' headings, link syntax) in README.txt and CHANGES.txt;
#   - every section README.txt's contents list is there, headed "[N] NAME"
#     (Notepad's Find reaches it by "[N]", found nowhere else), and the
#     text names sections with their numbers; CHANGES.txt dates every
#     release, newest first;
#   - SHA256SUMS gives the right sum for every other file in the zip, and
#     NAME.sha256 beside NAME.zip, the list to publish apart from it, gives
#     the zip's own sum and one for each file in it, as NAME/FILE; both
#     lists have LF line ends, which macOS's shasum needs;
#   - the runner carries no debug information, is marked runnable from
#     Windows XP on, and imports only functions on RUNNER_IMPORTS, which
#     Windows XP SP3 has: admins start it on those servers too.
# Invoked by CTest with CPACK, OBJDUMP, BUILD_DIR, WORK_DIR, MODULE and
# RUNNER (file names) and RUNNER_IMPORTS. Lists every finding, then fails.

cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../support/pe_image.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/plain_text_checks.cmake)
get_filename_component(source_dir "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)

# The widest line Notepad shows in a standard window without scrolling, and
# what a console shows when the guide is typed out.
set(max_line_length 80)

set(failures "")
function(fail)
  string(CONCAT text ${ARGN})
  set(failures "${failures}  ${text}\n" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
execute_process(COMMAND "${CPACK}" -G ZIP -B "${WORK_DIR}"
                        --config "${BUILD_DIR}/CPackConfig.cmake"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${out}\n${err}")
endif()

file(GLOB zips "${WORK_DIR}/*.zip")
list(LENGTH zips count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one zip in ${WORK_DIR}, found: ${zips}")
endif()
get_filename_component(zip_name "${zips}" NAME)
string(REGEX REPLACE "\\.zip$" "" stem "${zip_name}")
if(NOT stem MATCHES "^[^-]+-([0-9][0-9.]*)-")
  message(FATAL_ERROR "${zip_name} does not carry a version in its name")
endif()
set(version "${CMAKE_MATCH_1}")
# Unpacked where Windows' "Extract All" would put it, beside the zip: the
# names in the published list are relative to the zip's folder.
set(unpacked "${WORK_DIR}/${stem}")
file(MAKE_DIRECTORY "${unpacked}")

# ---- what the zip holds ----
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar tf "${zips}"
                RESULT_VARIABLE status OUTPUT_VARIABLE listing)
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" entries "${listing}")
list(SORT entries)
set(expected CHANGES.txt LICENSE.txt README.txt SHA256SUMS "${MODULE}" "${RUNNER}")
list(SORT expected)
if(NOT entries STREQUAL expected)
  fail("the package holds [${entries}], expected [${expected}]")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xf "${zips}" WORKING_DIRECTORY "${unpacked}")

# Sets OUT to the bytes of FILE as "xx " per byte (a text read drops CRs).
function(read_bytes file out)
  file(READ "${file}" hex HEX)
  string(REGEX REPLACE "(..)" "\\1 " bytes "${hex}")
  set(${out} "${bytes}" PARENT_SCOPE)
endfunction()

# ---- line ends: CR LF for Notepad, LF for the checksum tools ----
foreach(name README.txt CHANGES.txt LICENSE.txt)
  if(EXISTS "${unpacked}/${name}")
    read_bytes("${unpacked}/${name}" bytes)
    string(REPLACE "0d 0a " "" bare "${bytes}")
    if(bare STREQUAL bytes OR bare MATCHES "0[ad] ")
      fail("${name} has line ends other than CR LF: Notepad before Windows 10 shows it as one "
           "long line")
    endif()
  endif()
endforeach()
foreach(list_file "${unpacked}/SHA256SUMS" "${WORK_DIR}/${stem}.sha256")
  if(EXISTS "${list_file}")
    read_bytes("${list_file}" bytes)
    if(bytes MATCHES "0d " OR NOT bytes MATCHES "0a $")
      get_filename_component(name "${list_file}" NAME)
      fail("${name} does not have LF line ends only: shasum -a 256 -c on macOS would find "
           "no file")
    endif()
  endif()
endforeach()

# ---- the texts: the right sources, readable in Notepad ----
string(REPEAT "[^\n]" ${max_line_length} full_width)
foreach(pair "README.txt;docs/admin-guide.md" "CHANGES.txt;docs/changes.md")
  list(GET pair 0 name)
  list(GET pair 1 source)
  if(NOT EXISTS "${unpacked}/${name}")
    continue()
  endif()
  file(READ "${unpacked}/${name}" text)
  file(READ "${source_dir}/${source}" source_text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\r\n" "\n" source_text "${source_text}")
  if(NOT text STREQUAL source_text)
    fail("${name} is not ${source}")
  endif()
  read_bytes("${unpacked}/${name}" bytes)
  # Printable ASCII, CR and LF only: Notepad on older Windows reads other
  # bytes in the system's code page, and a tab makes a line wider than it
  # counts.
  string(REGEX REPLACE "(0[ad]|[2-6][0-9a-f]|7[0-9a-e]) " "" others "${bytes}")
  if(NOT others STREQUAL "")
    string(SUBSTRING "${others}" 0 30 sample)
    fail("${name} holds bytes other than printable ASCII, CR and LF: ${sample}...")
  endif()
  # Each long line becomes a list item: a ';' in it would split it in two.
  string(REPLACE ";" "," shown "${text}")
  string(REGEX MATCHALL "[^\n]*${full_width}[^\n]+" long_lines "${shown}")
  foreach(line IN LISTS long_lines)
    string(LENGTH "${line}" length)
    fail("${name} has a line of ${length} characters (at most ${max_line_length}): ${line}")
  endforeach()
  check_no_markdown_marks("${name}" "${text}")
  if(name STREQUAL "README.txt")
    check_guide_contents("${name}" "${text}")
  else()
    check_release_dates("${name}" "${text}" "${version}")
  endif()
endforeach()

# Checks the list FILE, whose names are relative to BASE: every line in
# sha256sum's format with the file's right sum. Sets OUT to the names.
function(check_sum_list file base out)
  get_filename_component(list_name "${file}" NAME)
  set(names "")
  file(STRINGS "${file}" lines)
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^([0-9a-f]+)  (.+)$")
      fail("${list_name} line not in sha256sum's format: ${line}")
      continue()
    endif()
    set(name "${CMAKE_MATCH_2}")
    set(sum "${CMAKE_MATCH_1}")
    if(NOT EXISTS "${base}/${name}")
      fail("${list_name} names ${name}, which is not there")
      continue()
    endif()
    file(SHA256 "${base}/${name}" actual)
    if(NOT actual STREQUAL sum)
      fail("${list_name} gives ${sum} for ${name}, the file has ${actual}")
    endif()
    list(APPEND names "${name}")
  endforeach()
  list(SORT names)
  set(${out} "${names}" PARENT_SCOPE)
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

# ---- SHA256SUMS in the zip: every other file of the zip ----
set(summed "")
if(EXISTS "${unpacked}/SHA256SUMS")
  check_sum_list("${unpacked}/SHA256SUMS" "${unpacked}" summed)
endif()
set(want_summed ${expected})
list(REMOVE_ITEM want_summed SHA256SUMS)
if(NOT summed STREQUAL want_summed)
  fail("SHA256SUMS covers [${summed}], expected [${want_summed}]")
endif()

# ---- the list beside the zip: the zip and every file in it ----
set(published "${WORK_DIR}/${stem}.sha256")
if(NOT EXISTS "${published}")
  fail("no ${stem}.sha256 beside ${zip_name}: the sums cannot be published apart from the zip")
else()
  check_sum_list("${published}" "${WORK_DIR}" published_names)
  set(want_published "${zip_name}")
  foreach(entry IN LISTS entries)
    list(APPEND want_published "${stem}/${entry}")
  endforeach()
  list(SORT want_published)
  if(NOT published_names STREQUAL want_published)
    fail("${stem}.sha256 covers [${published_names}], expected [${want_published}]")
  endif()
endif()

# ---- the runner, as a Windows XP or Server 2003 machine would meet it ----
set(runner "${unpacked}/${RUNNER}")
if(EXISTS "${runner}")
  file(SIZE "${runner}" runner_size)
  pe_debug_sections("${OBJDUMP}" "${runner}" debug_sections)
  list(LENGTH debug_sections debug_count)
  if(debug_count GREATER 0)
    list(JOIN debug_sections " " debug_text)
    fail("${RUNNER} carries ${debug_count} debug sections (${runner_size} bytes): ${debug_text}")
  endif()
  pe_read("${OBJDUMP}" "${runner}" image)
  if(image_dump MATCHES "Time/Date[ \t]+([^\n]+)")
    set(link_time "${CMAKE_MATCH_1}")
    if(NOT link_time MATCHES " 1970$")
      fail("${RUNNER} records its link time (${link_time}): two builds would differ")
    endif()
  endif()
  pe_versions("${image_dump}" image)
  if(image_newest GREATER 501)
    fail("${RUNNER} needs OS version ${image_os}, subsystem version ${image_subsystem}: "
         "Windows XP would refuse to start it")
  endif()
  pe_read_function_list("${RUNNER_IMPORTS}" allowed)
  pe_imports("${image_lines}" imports by_ordinal)
  foreach(line IN LISTS by_ordinal)
    fail("${RUNNER} imports by ordinal only: ${line}")
  endforeach()
  if(NOT imports)
    fail("${RUNNER}: no imported functions found")
  endif()
  pe_not_in("${imports}" "${allowed}" outside)
  foreach(import IN LISTS outside)
    fail("${RUNNER} imports ${import}, which is not on the list of functions from Windows "
         "XP SP3 it may use")
  endforeach()
  list(LENGTH imports import_count)
endif()

if(failures)
  message(FATAL_ERROR "${zips}:\n${failures}")
endif()
message(STATUS "${zips}: ${entries}; sums checked in the zip and beside it; texts with CR LF, "
               "lines of at most ${max_line_length} characters, no Markdown marks, the "
               "guide's sections as its contents list them, releases dated; ${RUNNER} "
               "${runner_size} bytes, no debug sections, OS ${image_os}, subsystem "
               "${image_subsystem}, ${import_count} imports, all in Windows XP SP3")
