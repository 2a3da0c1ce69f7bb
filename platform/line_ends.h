// Where a line of mail ends, the one rule for a message file, a mailbox's
// message and standard input, in the runner and in the stand-in server.
// A line ends at its LF, and a CR just before the LF is part of that line
// end (CR LF). A CR that no LF follows is a lone CR: mail from old Mac
// programs ends its lines so. The runner mends each into an LF before the
// server sees the message, so that such a message is its lines rather than
// one long line; the server itself splits at LF only and, as the runner
// would have mended it, drops a lone CR that ends the text.
#ifndef VELMORA_PLATFORM_LINE_ENDS_H
#define VELMORA_PLATFORM_LINE_ENDS_H

#include <cstddef>

constexpr char kLineFeed = '\n';
constexpr char kCarriageReturn = '\r';
constexpr const char* kCrLf = "\r\n";

// The length of the line that starts `text` (`size` bytes), its LF
// included: all of it when it has no LF.
std::size_t LineLength(const char* text, std::size_t size);

// How many of the last bytes of `line` (`length` bytes, a line as
// LineLength gives it) are its line end: 2 for CR LF, 1 for LF, 1 for a
// lone CR (only the text's last line can end so), 0 for none.
std::size_t LineEndLength(const char* line, std::size_t length);

// The length of `line` (`length` bytes) without its line end and every CR
// before it: a header value is read so, a stray CR (CR CR LF) being no
// part of it, nor making an empty line less empty.
std::size_t TextLengthWithoutCrs(const char* line, std::size_t length);

// True when the line is empty but for its LF or CR LF.
bool IsBlankLine(const char* line, std::size_t length);

// Makes every lone CR of the `size` bytes at `text` an LF, in place.
// Returns how many there were.
std::size_t MendLoneCarriageReturns(char* text, std::size_t size);

#endif
