// The outcomes; see job_outcome.h.
#include "runner/job/job_outcome.h"

#include "runner/job/enum_table.h"

namespace {

struct OutcomeText {
    JobOutcome outcome; // its place in the table, checked below
    const char* name;
    const char* meaning;
    ExitStatus status;
};

constexpr ExitStatus kRan = ExitStatus::kOk;

constexpr OutcomeText kOutcomes[] = {
    {JobOutcome::kRewritten, "rewritten", "re-sent under the configured sender", kRan},
    {JobOutcome::kUnable, "unable", "an automatic reply the module could not re-send", kRan},
    {JobOutcome::kTurnedAway, "turned-away", "X-Autoreply-From found, the address tests said no",
     kRan},
    {JobOutcome::kNoHeader, "no-header", "sender <>, but no usable X-Autoreply-From header", kRan},
    {JobOutcome::kOrdinary, "ordinary", "the job's envelope sender is not <>", kRan},
    {JobOutcome::kUnexamined, "unexamined",
     "sender <>, but the stand-in server could not make the copy the module reads",
     ExitStatus::kUnexamined},
    {JobOutcome::kUnreadable, "unreadable", "the file could not be read", ExitStatus::kBadMessage},
    {JobOutcome::kNotMail, "not-mail",
     "an empty file, or one that is not text mail: not handed to the module", kRan},
    {JobOutcome::kTooLarge, "too-large",
     "larger than --max-size, or than memory can hold: not handed to the module",
     ExitStatus::kUnexamined},
};

static_assert(sizeof(kOutcomes) / sizeof(kOutcomes[0]) == kJobOutcomeCount,
              "every outcome has its texts");

static_assert(RowsInEnumOrder(kOutcomes, &OutcomeText::outcome),
              "the table lists the outcomes in their order");

} // namespace

const char* OutcomeName(JobOutcome outcome) {
    return kOutcomes[static_cast<std::size_t>(outcome)].name;
}

const char* OutcomeMeaning(JobOutcome outcome) {
    return kOutcomes[static_cast<std::size_t>(outcome)].meaning;
}

ExitStatus OutcomeStatus(JobOutcome outcome) {
    return kOutcomes[static_cast<std::size_t>(outcome)].status;
}
