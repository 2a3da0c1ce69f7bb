// The progress line; see progress_meter.h.
#include "runner/output/progress_meter.h"

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(250);
constexpr double kMillisecondsPerSecond = 1000.0;
constexpr std::uint64_t kBytesPerMegabyte = 1024 * 1024;

} // namespace

ProgressMeter::ProgressMeter(std::FILE* terminal, std::size_t total)
    : terminal_(terminal), total_(total), countsMessagesOnly_(total == 0),
      windowStart_(Clock::now()) {}

void ProgressMeter::SetBytesTotal(std::uint64_t bytes) {
    bytesTotal_ = bytes;
    countsMessagesOnly_ = countsMessagesOnly_ || bytes > 0;
}

void ProgressMeter::Update(std::size_t done, std::uint64_t bytesRead) {
    if (terminal_ == nullptr) {
        return;
    }
    const Clock::time_point now = Clock::now();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - windowStart_);
    const bool windowOver = elapsed >= kRedrawInterval;
    if (windowOver) {
        const double seconds = static_cast<double>(elapsed.count()) / kMillisecondsPerSecond;
        rate_ =
            static_cast<unsigned long>(static_cast<double>(done - doneAtWindowStart_) / seconds);
        windowStart_ = now;
        doneAtWindowStart_ = done;
    }
    // Redrawn when the rate is new, at the end, and after being hidden.
    if (windowOver || (done == total_ && !countsMessagesOnly_) || shownWidth_ == 0) {
        std::string text = std::to_string(done);
        if (bytesTotal_ > 0) {
            text += " messages, " + std::to_string(bytesRead / kBytesPerMegabyte) + " of " +
                    std::to_string(bytesTotal_ / kBytesPerMegabyte) + " MB";
        } else if (countsMessagesOnly_) {
            text += " messages";
        } else {
            text += " of " + std::to_string(total_) + " messages";
        }
        if (rate_ > 0) {
            text += ", " + std::to_string(rate_) + " per second";
        }
        Draw(text);
    }
}

void ProgressMeter::Hide() {
    if (terminal_ == nullptr || shownWidth_ == 0) {
        return;
    }
    // Blanks rather than an escape sequence: old Windows consoles show
    // escapes as text.
    std::fprintf(terminal_, "\r%*s\r", static_cast<int>(shownWidth_), "");
    std::fflush(terminal_);
    shownWidth_ = 0;
}

void ProgressMeter::Draw(const std::string& text) {
    const std::size_t width = text.size();
    const int padding = width < shownWidth_ ? static_cast<int>(shownWidth_ - width) : 0;
    std::fprintf(terminal_, "\r%s%*s", text.c_str(), padding, "");
    std::fflush(terminal_);
    shownWidth_ = width + static_cast<std::size_t>(padding);
}
