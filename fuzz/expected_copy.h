// What a correct replacement keeps of the incoming message, worked out
// independently of the module's own filter, for the fuzz targets to compare
// against.
#ifndef VELMORA_FUZZ_EXPECTED_COPY_H
#define VELMORA_FUZZ_EXPECTED_COPY_H

#include <string>
#include <vector>

// Works on the reads a host handed over. A read that does not end with a
// line feed is continued by the next one (a long line in pieces); only the
// first read of a line is judged, and the others share its fate. A header
// line is dropped when it opens a Message-ID field (any letter case) or
// continues one; the empty line (CR LF or LF alone) ends the header section
// and everything from it on is kept. An empty read is kept where a line
// would start and shares its line's fate otherwise.
std::vector<std::string> ExpectedCopy(const std::vector<std::string>& lines);

#endif
