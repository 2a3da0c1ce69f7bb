// Telling from a file's first bytes that it is not mail: empty, binary,
// or one of the formats admins and mail programs leave among saved mail
// (Outlook items and stores, archives, compressed files, documents), or
// text that does not start as mail does.
#ifndef VELMORA_RUNNER_INPUTS_MAIL_CONTENT_H
#define VELMORA_RUNNER_INPUTS_MAIL_CONTENT_H

#include <cstddef>
#include <string>

// How many of a file's first bytes NotMailReason wants to see.
constexpr std::size_t kMailProbeBytes = 4096;

// Why a file is not mail, or null when it may be. `head` is its first
// bytes (up to kMailProbeBytes; all of it when shorter) and `fileEmpty`
// tells whether it has none at all. Not mail: an empty file; a NUL byte
// before the end of the first header's name or NUL bytes making up much
// of the head (a stray NUL in a header's value or a body is broken mail,
// which the module must meet); the start of an OLE compound file (Outlook
// .msg), an Outlook data file, an archive, compressed data (gzip, bzip2,
// xz, zstd, lzip, compress, lz4: "compressed (bzip2): unpack it first"), a
// PDF document or UTF-16 text; and any text whose first line, past blank
// lines, is neither a header field ("Name: value") nor a mailbox separator
// (a web page, notes, a list, a report). A UTF-8 byte-order mark is
// skipped first: editors on Windows write one before mail too.
const char* NotMailReason(const std::string& head, bool fileEmpty);

#endif
