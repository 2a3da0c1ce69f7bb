// A one-line progress display for long runs: messages done of messages
// found, and the rate over the last moments. It draws only on a terminal;
// given no terminal it does nothing, so piped output stays clean.
#ifndef VELMORA_TOOLS_PROGRESS_METER_H
#define VELMORA_TOOLS_PROGRESS_METER_H

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

class ProgressMeter {
  public:
    // `terminal` is where to draw (null: stay quiet); `total` the count of
    // messages found.
    ProgressMeter(std::FILE* terminal, std::size_t total);

    // Notes that `done` messages are finished. The rate is measured over a
    // quarter of a second; the line is redrawn when the rate changes, at
    // the end and after Hide.
    void Update(std::size_t done);

    // Clears the line, so that other output on the same terminal starts
    // on a clean one. Cheap when nothing is shown.
    void Hide();

  private:
    using Clock = std::chrono::steady_clock;

    void Draw(const std::string& text);

    std::FILE* terminal_;
    std::size_t total_;
    std::size_t shownWidth_ = 0;
    std::size_t doneAtWindowStart_ = 0;
    Clock::time_point windowStart_;
    unsigned long rate_ = 0; // messages per second in the last window
};

#endif
