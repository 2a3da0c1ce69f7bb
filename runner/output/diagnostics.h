// Standard error, the runner's own voice: its name before every message,
// the progress line, and the one place where what comes from the file
// system and the mail is escaped before a terminal sees it (see
// printable_text.h). Everything else hands it raw text.
#ifndef VELMORA_RUNNER_OUTPUT_DIAGNOSTICS_H
#define VELMORA_RUNNER_OUTPUT_DIAGNOSTICS_H

#include "runner/output/progress_meter.h"
#include "runner/output/text_output.h"

#include <string>
#include <vector>

// The name the runner goes by, in its messages, --help and --version.
constexpr const char* kProgramName = "velmora-run";

class Diagnostics {
  public:
    // Over the process's standard error; the progress line is drawn only
    // when standard error is a terminal.
    Diagnostics();
    Diagnostics(const Diagnostics&) = delete;
    Diagnostics& operator=(const Diagnostics&) = delete;

    // Says `text` on a line of its own, after the program's name, the
    // progress line cleared first.
    void Say(const std::string& text);
    void Say(const std::vector<std::string>& lines);

    ProgressMeter& Progress() { return progress_; }

  private:
    TextOutput errors_;
    ProgressMeter progress_;
};

#endif
