# SHA-256 sums of what admins get, in the format `sha256sum -c` and
# `shasum -a 256 -c` read: one "HASH  NAME" line per file, in name order,
# with LF line ends. shasum (macOS) takes a CR into the file name and finds
# no file, so the lists keep LF although the other texts have CR LF.
#
# Runs at two points:
#   - as an install step, after every file of the package is in place:
#     writes SHA256SUMS beside them, the list that travels in the zip. It
#     can show that a copy is damaged, not that it was changed: whoever
#     changes the zip can change the list inside it as well.
#   - as CPack's post-build script (CPACK_PACKAGE_FILES set): writes
#     NAME.sha256 beside each NAME.zip, for publishing apart from the zip.
#     It holds the zip's own sum and one for each file in the zip, named
#     NAME/FILE: the folder Windows' "Extract All" proposes for the zip,
#     so that `sha256sum -c NAME.sha256` beside the zip checks everything.
#     The files are hashed as the zip holds them, from a fresh unpacking.

# Writes `folder`/`list_name` with a line for each regular file under
# `folder` (recursively, but not the list itself), each name with `prefix`
# before it. `first_line` is written first when not empty.
function(write_sum_list folder list_name prefix first_line)
  file(GLOB_RECURSE names LIST_DIRECTORIES false RELATIVE "${folder}" "${folder}/*")
  list(REMOVE_ITEM names "${list_name}")
  list(SORT names)
  set(sums "${first_line}")
  foreach(name IN LISTS names)
    file(SHA256 "${folder}/${name}" hash)
    string(APPEND sums "${hash}  ${prefix}${name}\n")
  endforeach()
  set(sum_text "${sums}" PARENT_SCOPE)
endfunction()

if(DEFINED CPACK_PACKAGE_FILES)
  # The zips are still in CPack's own work folder at this point; the lists
  # go where CPack copies the zips next.
  set(destination "${CPACK_PACKAGE_DIRECTORY}")
  if(CPACK_OUTPUT_FILE_PREFIX)
    get_filename_component(destination "${CPACK_OUTPUT_FILE_PREFIX}" ABSOLUTE
                           BASE_DIR "${CPACK_PACKAGE_DIRECTORY}")
  endif()
  foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "\\.zip$")
      continue()
    endif()
    get_filename_component(zip_name "${package}" NAME)
    string(REGEX REPLACE "\\.zip$" "" stem "${zip_name}")
    set(scratch "${CPACK_TOPLEVEL_DIRECTORY}/checksum-unpack/${stem}")
    file(REMOVE_RECURSE "${scratch}")
    file(ARCHIVE_EXTRACT INPUT "${package}" DESTINATION "${scratch}")
    file(SHA256 "${package}" zip_hash)
    write_sum_list("${scratch}" "" "${stem}/" "${zip_hash}  ${zip_name}\n")
    file(REMOVE_RECURSE "${scratch}")
    file(WRITE "${destination}/${stem}.sha256" "${sum_text}")
    message(STATUS "Checksums to publish beside the zip: ${destination}/${stem}.sha256")
  endforeach()
else()
  set(folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  write_sum_list("${folder}" SHA256SUMS "" "")
  file(WRITE "${folder}/SHA256SUMS" "${sum_text}")
  message(STATUS "Checksums: ${folder}/SHA256SUMS")
endif()
