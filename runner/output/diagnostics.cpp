// The runner's standard error; see diagnostics.h.
#include "runner/output/diagnostics.h"

#include "platform/system.h"
#include "runner/output/printable_text.h"

#include <cstdio>

Diagnostics::Diagnostics()
    : errors_(StandardError(), TextFilesUseCrlf()),
      progress_(StandardErrorIsTerminal() ? stderr : nullptr, 0) {}

void Diagnostics::Say(const std::string& text) {
    progress_.Hide();
    errors_.Stream() << kProgramName << ": " << PrintableName(text) << "\n" << std::flush;
}

void Diagnostics::Say(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        Say(line);
    }
}
