// A one-line progress display for long runs: messages done of messages
// found (inside a mailbox: megabytes read of its size, as its messages are
// not counted beforehand), and the rate over the last moments. It draws
// only on a terminal; given no terminal it does nothing, so piped output
// stays clean.
#ifndef VELMORA_RUNNER_OUTPUT_PROGRESS_METER_H
#define VELMORA_RUNNER_OUTPUT_PROGRESS_METER_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class ProgressMeter {
  public:
    // `terminal` is where to draw (null: stay quiet); `total` the count of
    // messages found, 0 when it is not known beforehand (folders are
    // walked as the run goes).
    ProgressMeter(std::FILE* terminal, std::size_t total);

    // Notes that `done` messages are finished and, inside a mailbox, that
    // `bytesRead` of it are read. The rate is measured over a quarter of a
    // second; the line is redrawn when the rate changes, at the end and
    // after Hide.
    void Update(std::size_t done, std::uint64_t bytesRead = 0);

    // Says that a mailbox of `bytes` is being read (0: none, or its end).
    void SetBytesTotal(std::uint64_t bytes);

    // Clears the line, so that other output on the same terminal starts
    // on a clean one. Cheap when nothing is shown.
    void Hide();

  private:
    using Clock = std::chrono::steady_clock;

    void Draw(const std::string& text);

    std::FILE* terminal_;
    std::size_t total_;
    std::uint64_t bytesTotal_ = 0;
    bool countsMessagesOnly_ = false; // a mailbox made the total unknown
    std::size_t shownWidth_ = 0;
    std::size_t doneAtWindowStart_ = 0;
    Clock::time_point windowStart_;
    unsigned long rate_ = 0; // messages per second in the last window
};

#endif
