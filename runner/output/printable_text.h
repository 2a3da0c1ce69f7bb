// What the runner prints of text that is not its own: file names, and the
// lines of a message. A terminal obeys the control bytes it is sent: an
// escape sequence in a message or a file name could retitle or blank the
// admin's terminal, a carriage return could forge a line of the runner's
// own, and a right-to-left override could make a name read as another.
// So such bytes are shown, never sent.
#ifndef VELMORA_RUNNER_OUTPUT_PRINTABLE_TEXT_H
#define VELMORA_RUNNER_OUTPUT_PRINTABLE_TEXT_H

#include <string>

// `name` with every control byte written as an escape: "\n", "\r", "\t",
// else "\xHH" (also DEL). So is every byte that is not part of well-formed
// UTF-8 ("\x9B": the lone bytes 0x80 to 0x9F are C1 controls to 8-bit
// terminals), and every character a terminal obeys or shows as nothing,
// as "\uHHHH": the C1 controls U+0080 to U+009F, the marks and overrides
// that turn text right to left (U+061C, U+200E, U+200F, U+202A to U+202E,
// U+2066 to U+2069), the characters of no width (U+200B to U+200D,
// U+2060, U+FEFF) and the line and paragraph separators (U+2028, U+2029).
// Where a backslash can be part of a name (POSIX), it is written "\\", so
// that no two names print the same; on Windows it is the path separator
// and no name holds a control byte, so it stays.
std::string PrintableName(const std::string& name);

// A line of a message as shown in a report: a tab and the line end stay,
// every other control byte is written as an escape as above.
std::string PrintableLine(const std::string& line);

#endif
