// Decides, line by line, which lines of the copied message belong to its
// old Message-ID field and must be left out of the replacement.
//
// A tiny parser with three states:
//   header            - in the header section, outside a Message-ID field
//   old message id    - in the header section, inside a Message-ID field
//                       (its first line or one of its continuation lines)
//   body              - after the empty line that ends the header section
// Only the header section is examined; body lines are always kept, whatever
// they begin with. Field names are matched without regard to letter case,
// and the continuation lines of a folded Message-ID (those beginning with a
// space or a tab) are dropped together with its first line.
#ifndef VELMORA_DAEMON_HEADER_FILTER_H
#define VELMORA_DAEMON_HEADER_FILTER_H

enum class HeaderFilterState { kHeader, kOldMessageId, kBody };

// Classifies one line (NUL-terminated, line end included) and moves the
// state on. Returns true when the line is to be copied.
bool KeepLine(HeaderFilterState* state, const char* line);

#endif
