// The exit statuses; see exit_status.h.
#include "runner/job/exit_status.h"

#include "runner/job/enum_table.h"

namespace {

struct ExitStatusText {
    ExitStatus status; // its place in the table, checked below
    int code;
    const char* meaning;
};

constexpr ExitStatusText kStatuses[] = {
    {ExitStatus::kBadOption, 2,
     "bad or empty option, or an output that would write over an input or into a Maildir "
     "(nothing ran)"},
    {ExitStatus::kBadModule, 4, "the module cannot be loaded or lacks an entry point"},
    {ExitStatus::kStartupRefused, 1, "the module refused to start"},
    {ExitStatus::kBadOutput, 5, "the report, the lines or a replacement cannot be written"},
    {ExitStatus::kBadMessage, 3,
     "a PATH does not exist (nothing ran) or a message could not be read (the others ran)"},
    {ExitStatus::kUnexamined, 6,
     "a message could not be examined or was too large (the others ran)"},
    {ExitStatus::kOk, 0, "every job ran"},
};

static_assert(sizeof(kStatuses) / sizeof(kStatuses[0]) == kExitStatusCount,
              "every status has its code and words");

static_assert(RowsInEnumOrder(kStatuses, &ExitStatusText::status),
              "the table lists the statuses in their order");

} // namespace

int ExitCode(ExitStatus status) {
    return kStatuses[static_cast<std::size_t>(status)].code;
}

const char* ExitMeaning(ExitStatus status) {
    return kStatuses[static_cast<std::size_t>(status)].meaning;
}

ExitStatus Graver(ExitStatus a, ExitStatus b) {
    return static_cast<std::size_t>(a) <= static_cast<std::size_t>(b) ? a : b;
}
