# Install step that runs after every file of the package is in place: writes
# SHA256SUMS beside them, one "HASH  NAME" line per file, in name order, in
# the format `sha256sum -c` reads, with CR LF line ends for Notepad (which
# `sha256sum -c` takes too). Admins compare the DLL they copy to their
# server with it (certutil -hashfile velmora.dll SHA256 on Windows).
set(folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
file(GLOB names RELATIVE "${folder}" "${folder}/*")
list(REMOVE_ITEM names SHA256SUMS)
list(SORT names)
set(sums "")
foreach(name IN LISTS names)
  if(NOT IS_DIRECTORY "${folder}/${name}")
    file(SHA256 "${folder}/${name}" hash)
    string(APPEND sums "${hash}  ${name}\r\n")
  endif()
endforeach()
file(WRITE "${folder}/SHA256SUMS" "${sums}")
message(STATUS "Checksums: ${folder}/SHA256SUMS")
