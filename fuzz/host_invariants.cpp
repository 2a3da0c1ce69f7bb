// The invariants checked after each call; see host_invariants.h. Log texts
// and codes are spelt out here rather than taken from the module, so that a
// change there shows up as a finding.
#include "fuzz/host_invariants.h"

#include "fuzz/expected_copy.h"
#include "fuzz/fuzz_require.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr std::int32_t kStartupCode = 15;
constexpr std::int32_t kJobCode = 25;
constexpr unsigned kOldestMajor = 2;
constexpr unsigned kOldestMinor = 20;
constexpr std::size_t kShortestSender = 8;

constexpr const char* kVersionError = "Velmora daemon could not load (version error)";
constexpr const char* kSenderError = "Velmora daemon could not load (sender name error)";
constexpr const char* kLoaded = "Velmora daemon loaded successfully";
constexpr const char* kModified = "MAIL FROM in autoreply modified by daemon";
constexpr const char* kNotModified = "Unable to modify MAIL FROM in autoreply";

void RequireLogs(const std::vector<FuzzedLog>& logs, std::int32_t code,
                 const std::vector<std::string>& texts) {
    Require(logs.size() == texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        Require(logs[i].code == code && logs[i].text == texts[i]);
    }
}

// The header value as the log shows it: control bytes as '?'.
std::string AsLogged(const std::string& value) {
    std::string logged = value;
    for (char& c : logged) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = '?';
        }
    }
    return logged;
}

// The log lines a DAEMON call may write, given what the host answered.
std::vector<std::string> ExpectedDaemonLogs(const DaemonRound& round, bool sent) {
    std::vector<std::string> texts;
    if (!round.senderIsNullReversePath || !round.header.called || round.header.isNull ||
        round.header.value.empty()) {
        return texts;
    }
    texts.push_back("Autoreply from " + AsLogged(round.header.value) + " found");
    if (round.extractSaidYes && round.checkSaidYes && round.verifySaidYes) {
        texts.push_back(sent ? kModified : kNotModified);
    }
    return texts;
}

// The number the next Message-ID must carry: the clock when more time has
// passed since the last number than that number ran ahead of its reading;
// else one more than the last. The clock never runs backwards here, so the
// time passed is the difference of the readings on the wrapping clock.
std::uint32_t NextNumber(const IssuedNumbers& issued, std::uint32_t now) {
    if (!issued.any) {
        return now;
    }
    const std::uint64_t passed = static_cast<std::uint32_t>(now - issued.lastReading);
    const std::uint64_t ranAhead = static_cast<std::uint32_t>(issued.last - issued.lastReading);
    return passed > ranAhead ? now : issued.last + 1u;
}

// The domain a Message-ID must carry: the one learnt at start-up, or,
// without one, the configured sender's (after its last "@", without white
// space at its end or a closing ">").
std::string ExpectedDomain(const std::string& learnt, const char* configuredSender) {
    if (!learnt.empty()) {
        return learnt;
    }
    const std::string sender = configuredSender != nullptr ? configuredSender : "";
    const std::size_t at = sender.rfind('@');
    if (at == std::string::npos) {
        return "";
    }
    std::string domain = sender.substr(at + 1);
    while (!domain.empty() && (domain.back() == ' ' || domain.back() == '\t')) {
        domain.pop_back();
    }
    if (!domain.empty() && domain.back() == '>') {
        domain.pop_back();
    }
    return domain;
}

void CheckCreatedJob(const FuzzedHost& host, const DaemonRound& round, const FuzzedJob& job,
                     const char* configuredSender, const std::string& domain,
                     IssuedNumbers* issued) {
    Require(job.sender == (configuredSender != nullptr ? configuredSender : ""));
    Require(job.releaseCalls == (host.HasService(kHostReleaseJobOffset) ? 1 : 0));
    const bool closable = !round.unterminatedLineRead && host.HasService(kHostCloseJobOffset);
    Require(job.closeCalls == (closable ? 1 : 0));

    const bool recipientsCopied =
        host.HasService(kHostNextRecipientOffset) && host.HasService(kHostAddRecipientOffset);
    Require(job.recipients ==
            (recipientsCopied ? round.recipientsGiven : std::vector<std::string>{}));

    // The clock is read once per replacement, for its Message-ID.
    Require(round.clockReadings.size() == 1);
    const std::uint32_t number = NextNumber(*issued, round.clockReadings[0]);
    Require(issued->all.insert(number).second);
    issued->any = true;
    issued->last = number;
    issued->lastReading = round.clockReadings[0];

    if (!host.HasService(kHostWriteLineOffset)) {
        Require(job.lines.empty());
        return;
    }
    Require(!job.lines.empty());
    Require(job.lines[0] == "Message-ID: <ar" + std::to_string(number) + "@" +
                                ExpectedDomain(domain, configuredSender) + ">\r\n");
    const std::vector<std::string> copied(job.lines.begin() + 1, job.lines.end());
    Require(copied == ExpectedCopy(round.linesRead));
}

} // namespace

void CheckStartup(const FuzzedHost& host, const char* configuredSender, std::uint8_t result) {
    const HostServiceBlock* block = host.Block();
    const unsigned major = block->bytes[kBlockMajorVersionOffset];
    const unsigned minor = block->bytes[kBlockMinorVersionOffset];
    const bool versionKnown =
        major > kOldestMajor || (major == kOldestMajor && minor >= kOldestMinor);
    const bool senderLongEnough =
        configuredSender != nullptr && std::strlen(configuredSender) >= kShortestSender;
    const bool ready = versionKnown && senderLongEnough;

    Require(result == (ready ? 1 : 0));
    Require(host.domainQueried == (ready && host.HasService(kHostQueryStringOffset)));
    if (!host.HasService(kHostLogOffset)) {
        Require(host.startupLogs.empty());
        return;
    }
    const char* expected = !versionKnown       ? kVersionError
                           : !senderLongEnough ? kSenderError
                                               : kLoaded;
    RequireLogs(host.startupLogs, kStartupCode, {expected});
}

void CheckDaemonRound(const FuzzedHost& host, const DaemonRound& round,
                      const char* configuredSender, const std::string& domain, std::int32_t result,
                      IssuedNumbers* issued) {
    // The incoming job stays the host's: never closed, released or written.
    Require(round.incoming->closeCalls == 0 && round.incoming->releaseCalls == 0);
    Require(round.incoming->lines.empty());

    // Resources: every message file closed, no temporary file left.
    for (const auto& message : round.messages) {
        Require(message->closeCalls == (host.HasService(kHostCloseMessageFileOffset) ? 1 : 0));
    }
    Require(host.files.empty());

    // The copy reads from the start and stops at a line it cannot trust.
    Require(!round.readBeforeRewind || !host.HasService(kHostRewindJobOffset));
    Require(!round.readAfterUnterminated);

    // No domain from the server or the sender: no Message-ID can be made,
    // so no replacement either.
    Require(round.created.size() <= 1);
    Require(round.created.empty() || !ExpectedDomain(domain, configuredSender).empty());
    const bool sent = !round.created.empty() && round.created[0]->closeCalls == 1 &&
                      round.created[0]->closeAnswer > 0;
    Require(result == (sent ? 1 : 0));
    if (round.created.empty()) {
        Require(round.clockReadings.empty());
    } else {
        CheckCreatedJob(host, round, *round.created[0], configuredSender, domain, issued);
    }

    if (!host.HasService(kHostLogOffset)) {
        Require(round.logs.empty());
        return;
    }
    RequireLogs(round.logs, kJobCode, ExpectedDaemonLogs(round, sent));
}
