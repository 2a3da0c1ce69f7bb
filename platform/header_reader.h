// A message's header section, read a line at a time by a small machine
// with explicit states: before any field, within a field (whose folded
// lines may follow), and past the empty line that ends the section. Each
// line pushed (with its line end or without) gets its answer: a field, a
// folded line of the field before, the end of the header section, a body
// line, or a line that is none of these in a header section. A line that
// is none leaves the reader before any field again (nothing to fold
// into); what to make of it is the caller's to decide: a lenient reader
// of old mailboxes reads on, a judge of whether a file is mail does not.
//
// A field is a name of printable US-ASCII but ':' (RFC 5322), then its
// colon; old mail writers put blanks between the two, and the answer tells
// where the colon is, so that a caller that wants none can see them. A
// folded line starts with a space or a tab. The empty line is one with
// nothing but its line end (see line_ends.h), or nothing at all.
#ifndef VELMORA_PLATFORM_HEADER_READER_H
#define VELMORA_PLATFORM_HEADER_READER_H

#include <cstddef>

enum class HeaderLineKind {
    kField,        // "Name: value"
    kContinuation, // a folded line of the field before
    kEnd,          // the empty line that ends the header section
    kBody,         // any line after it
    kMalformed,    // in the header section, but neither field nor folded line
};

// What a pushed line is; offsets are from the line's first byte.
struct HeaderLine {
    HeaderLineKind kind = HeaderLineKind::kMalformed;
    std::size_t nameLength = 0; // a field's name is the line's first bytes
    std::size_t colon = 0;      // its colon: past the name by the blanks before it
    std::size_t textLength = 0; // the line without its line end
    // Where a field's value starts: just after its colon.
    std::size_t ValueStart() const { return colon + 1; }
};

// True when `read`, the answer for `line`, is a field called `name`
// (`nameLength` bytes, letter case ignored) with its colon straight after
// the name, as a server's lookup reads names.
bool IsFieldCalled(const char* line, const HeaderLine& read, const char* name,
                   std::size_t nameLength);

class HeaderReader {
  public:
    // Reads the `length` bytes at `line`: one line, with its LF or CR LF
    // (or a lone CR, see line_ends.h) or without any.
    HeaderLine Push(const char* line, std::size_t length);

    // True once the empty line has been read: every line is body now.
    bool InBody() const { return state_ == State::kBody; }

  private:
    enum class State { kNoField, kInField, kBody };
    State state_ = State::kNoField;
};

#endif
