// What a correct replacement keeps of the incoming message, worked out
// independently of the module's own filter, for the fuzz targets to compare
// against.
#ifndef VELMORA_FUZZ_EXPECTED_COPY_H
#define VELMORA_FUZZ_EXPECTED_COPY_H

#include <string>
#include <vector>

// A header line is dropped when it opens a Message-ID field (any letter
// case) or continues one; the empty line (CR LF or LF alone) ends the
// header section and everything from it on is kept.
std::vector<std::string> ExpectedCopy(const std::vector<std::string>& lines);

#endif
