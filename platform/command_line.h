// Splitting a Windows command line into its arguments, by the rules the C
// runtime and CommandLineToArgvW follow. The runner does it itself rather
// than through shell32.dll, whose dependencies the loader would look for
// in the runner's own folder first, where a planted DLL may wait.
#ifndef VELMORA_PLATFORM_COMMAND_LINE_H
#define VELMORA_PLATFORM_COMMAND_LINE_H

#include <string>
#include <vector>

// The arguments of `line` (UTF-8), the program's name first. The name runs
// to the first blank, or between quotes, and knows no escapes. Then
// arguments are separated by spaces and tabs; quotes group and are
// removed; 2n backslashes before a quote give n and the quote groups,
// 2n+1 give n and a quote; backslashes before anything else stay as they
// are; inside quotes, two quotes give one.
std::vector<std::string> SplitCommandLine(const std::string& line);

#endif
