// Windows command lines; see command_line.h.
#include "platform/command_line.h"

#include "platform/ascii_text.h"

namespace {

constexpr char kQuote = '"';
constexpr char kBackslash = '\\';

// The program's name from `at` on; leaves `at` after it.
std::string ProgramName(const std::string& line, std::size_t* at) {
    std::string name;
    if (*at < line.size() && line[*at] == kQuote) {
        const std::size_t close = line.find(kQuote, *at + 1);
        const std::size_t end = close == std::string::npos ? line.size() : close;
        name = line.substr(*at + 1, end - *at - 1);
        *at = close == std::string::npos ? end : end + 1;
        return name;
    }
    while (*at < line.size() && !IsBlank(line[*at])) {
        name += line[(*at)++];
    }
    return name;
}

// One argument from `at` on (which is no blank); leaves `at` after it.
std::string Argument(const std::string& line, std::size_t* at) {
    std::string argument;
    bool quoted = false;
    while (*at < line.size() && (quoted || !IsBlank(line[*at]))) {
        std::size_t backslashes = 0;
        while (*at < line.size() && line[*at] == kBackslash) {
            ++backslashes;
            ++*at;
        }
        if (*at >= line.size() || line[*at] != kQuote) {
            argument.append(backslashes, kBackslash);
            if (*at < line.size() && backslashes == 0) {
                argument += line[(*at)++];
            }
            continue;
        }
        argument.append(backslashes / 2, kBackslash);
        if (backslashes % 2 == 1) {
            argument += kQuote; // escaped
        } else if (quoted && *at + 1 < line.size() && line[*at + 1] == kQuote) {
            argument += kQuote; // "" inside quotes
            ++*at;
        } else {
            quoted = !quoted;
        }
        ++*at;
    }
    return argument;
}

} // namespace

std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> args;
    std::size_t at = 0;
    args.push_back(ProgramName(line, &at));
    for (;;) {
        while (at < line.size() && IsBlank(line[at])) {
            ++at;
        }
        if (at >= line.size()) {
            return args;
        }
        args.push_back(Argument(line, &at));
    }
}
