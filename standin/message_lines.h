// Message text as the host stores it: a list of lines ending in CR LF.
#ifndef VELMORA_STANDIN_MESSAGE_LINES_H
#define VELMORA_STANDIN_MESSAGE_LINES_H

#include <string>
#include <vector>

// Splits text with LF or CRLF line ends into lines ending in CR LF. A last
// line without a line end gets one.
std::vector<std::string> SplitIntoCrlfLines(const std::string& text);

// Splits text into lines, each keeping the line end it has (LF, CR LF, or
// none for a last line without one).
std::vector<std::string> SplitKeepingLineEnds(const std::string& text);

// `text` without the spaces and tabs around it.
std::string TrimBlanks(const std::string& text);

// The unfolded value of the first header field called `name` (letter case
// ignored) in the header section of `lines`, without the leading white
// space and the line end; found is false when there is no such field.
std::string FindHeaderValue(const std::vector<std::string>& lines, const std::string& name,
                            bool* found);

#endif
