// What the runner prints of text that is not its own: file names, and the
// lines of a message. A terminal obeys the control bytes it is sent: an
// escape sequence in a message or a file name could retitle or blank the
// admin's terminal, and a carriage return could forge a line of the
// runner's own. So such bytes are shown, never sent.
#ifndef VELMORA_RUNNER_PRINTABLE_TEXT_H
#define VELMORA_RUNNER_PRINTABLE_TEXT_H

#include <string>

// `name` with every control byte written as an escape: "\n", "\r", "\t",
// else "\xHH" (also DEL and the C1 controls U+0080 to U+009F, which some
// terminals obey too). Where a backslash can be part of a name (POSIX), it
// is written "\\", so that no two names print the same; on Windows it is
// the path separator and no name holds a control byte, so it stays.
std::string PrintableName(const std::string& name);

// A line of a message as shown in a report: a tab and the line end stay,
// every other control byte is written as an escape as above.
std::string PrintableLine(const std::string& line);

#endif
