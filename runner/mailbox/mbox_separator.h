// The lines that divide a mailbox into messages. mbox puts a
// "From SENDER DATE" line before each message, DATE as mail programs write
// it (asctime's "Www Mmm dd hh:mm:ss yyyy", a time zone before or after the
// year in some of them); MMDF puts a line of four ^A bytes before and after
// each. A "From " line without such a date is a body line, however it
// starts.
#ifndef VELMORA_RUNNER_MAILBOX_MBOX_SEPARATOR_H
#define VELMORA_RUNNER_MAILBOX_MBOX_SEPARATOR_H

#include <cstddef>

// The longest separator line looked at, line end included: longer lines
// are message text.
constexpr std::size_t kLongestSeparatorLine = 1000;

// True when the `length` bytes at `line` (with its LF or CR LF, or none at
// the end of the input) are a well-formed mbox separator line.
bool IsSeparatorLine(const char* line, std::size_t length);

// As IsSeparatorLine, and where in the line its sender lies: [begin, end),
// all of what stands before the date (a quoted sender may hold blanks).
bool FindSeparatorSender(const char* line, std::size_t length, std::size_t* senderBegin,
                         std::size_t* senderEnd);

// True when `word`, a separator's sender, is an address a server could
// have taken as an envelope sender: local@domain (a dot-atom or a quoted
// local part, a domain of letter-digit-hyphen labels or a [literal]), or a
// local user's bare name (letters, digits, '.', '_', '-', '+'), either in
// angle brackets or not. Mail programs that did not know the sender write
// a placeholder instead: "-" (Thunderbird), "???@???" (Outlook Express,
// Eudora); 8-bit bytes count as letters (internationalised addresses).
bool IsSenderAddress(const char* word, std::size_t length);

// True when the line is MMDF's delimiter, "\x01\x01\x01\x01" alone.
bool IsMmdfDelimiter(const char* line, std::size_t length);

#endif
