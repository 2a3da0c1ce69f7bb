# Install step: writes the admin's guide, the list of changes and the
# license into the package as README.txt, CHANGES.txt and LICENSE.txt with
# CR LF line ends, so that Notepad on every Windows shows them as they are
# meant. Needs VELMORA_SOURCE_DIR.
set(folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
foreach(pair "docs/admin-guide.md;README.txt" "docs/changes.md;CHANGES.txt"
             "LICENSE;LICENSE.txt")
  list(GET pair 0 source)
  list(GET pair 1 target)
  file(READ "${VELMORA_SOURCE_DIR}/${source}" text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE "${folder}/${target}" "${text}")
  message(STATUS "Installing: ${folder}/${target}")
endforeach()
