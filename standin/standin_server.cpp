// The stand-in server's bookkeeping; its services are in host_services.cpp.
#include "standin/standin_server.h"

#include "platform/line_ends.h"
#include "standin/host_services.h"
#include "standin/message_lines.h"
#include "standin/temp_files.h"

#include <sstream>
#include <utility>

namespace {
StandInServer* g_activeHost = nullptr;
unsigned g_tempSerial = 0; // across hosts, so that no two share a path
} // namespace

StandInServer::StandInServer(HostSettings setUp) : settings(std::move(setUp)) {
    g_activeHost = this;
}

StandInServer::StandInServer(unsigned char major, unsigned char minor) : StandInServer() {
    settings.majorVersion = major;
    settings.minorVersion = minor;
}

StandInServer::~StandInServer() {
    CloseHeldFiles();
    if (g_activeHost == this) {
        g_activeHost = nullptr;
    }
}

void StandInServer::CloseHeldFiles() {
    for (const auto& message : messages_) {
        CloseHeldCopy(message->held);
        message->held = -1;
    }
}

void StandInServer::ForgetHistory() {
    CloseHeldFiles();
    // What the module left of the copies holds somebody's mail: once it
    // has been reported, it goes.
    // A copy the last Leaks found gone is not looked for again.
    for (const std::string& path : tempFilesLeft_) {
        RemoveFile(path);
    }
    for (std::size_t i = tempFilesLookedFor_; i < tempFiles.size(); ++i) {
        RemoveFile(tempFiles[i]);
    }
    tempFilesLookedFor_ = 0;
    tempFilesLeft_.clear();
    jobs_.clear();
    lastIncoming_ = nullptr;
    messages_.clear();
    logs.clear();
    calls.clear();
    violations.clear();
    tempFiles.clear();
    extractedTexts.clear();
    serverFailures.clear();
    outOfMemory = false;
    messagesOpened = 0;
    messagesClosed = 0;
    fedBackResults.clear();
    queue_.clear();
    daemonCalled_ = false;
    daemonResult_ = 0;
}

std::int32_t StandInServer::RunDaemon(DaemonEntryFn daemon, JobHandle job, const char* parameter) {
    daemonResult_ = daemon(job, Block(), nullptr, parameter);
    daemonCalled_ = true;
    return daemonResult_;
}

JobRecord StandInServer::EndJob() {
    JobRecord record;
    record.leftBehind = Leaks();
    record.daemonCalled = daemonCalled_;
    record.daemonResult = daemonResult_;
    record.logs = std::move(logs);
    for (const auto& job : jobs_) {
        if (job->createdByModule) {
            record.madeJobs.push_back(
                MadeJob{job->sender, job->recipients, std::move(job->text), job->closed});
        }
    }
    record.violations = std::move(violations);
    record.serverFailures = std::move(serverFailures);
    record.outOfMemory = outOfMemory;
    record.fedBackResults = std::move(fedBackResults);
    ForgetHistory();
    return record;
}

StandInServer* StandInServer::Active() {
    return g_activeHost;
}

const HostServiceBlock* StandInServer::Block() {
    if (blockBytes_.empty()) {
        BuildBlock();
    }
    return reinterpret_cast<const HostServiceBlock*>(blockBytes_.data());
}

void StandInServer::BuildBlock() {
    // The header bytes other than the version are filled with a pattern, so
    // that a module reading them would see junk rather than friendly zeros.
    // Slots we do not fill stay null, as missing services.
    constexpr unsigned char kUndefinedByte = 0xA5;
    blockBytes_.assign(kServiceBlockMinimumSize, 0);
    for (std::size_t i = 0; i < kServiceTableOffset; ++i) {
        blockBytes_[i] = kUndefinedByte;
    }
    blockBytes_[kBlockMajorVersionOffset] = settings.majorVersion;
    blockBytes_[kBlockMinorVersionOffset] = settings.minorVersion;
    InstallReferenceServices(blockBytes_.data(), faults.missingServices);
}

JobHandle StandInServer::AddIncomingJob(const std::string& sender,
                                        const std::vector<std::string>& recipients,
                                        std::string message) {
    HostJob* job = NewJob();
    job->sender = sender;
    job->recipients = recipients;
    job->text = std::move(message);
    job->keepLineEnds = faults.keepLineEnds;
    lastIncoming_ = job;
    return reinterpret_cast<JobHandle>(job);
}

std::size_t StandInServer::ReplacementCapacity() const {
    constexpr std::size_t kMessageIdRoom = 128;
    if (lastIncoming_ == nullptr) {
        return kMessageIdRoom;
    }
    const std::string& text = lastIncoming_->text;
    std::size_t bareLineFeeds = 0;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
        bareLineFeeds += at == 0 || text[at - 1] != '\r' ? 1 : 0;
    }
    return text.size() + bareLineFeeds + kMessageIdRoom;
}

std::string HostJob::ServedLine(std::size_t start, std::size_t* next) const {
    if (start >= text.size()) {
        *next = text.size();
        return std::string();
    }
    const std::size_t length = LineLength(text.data() + start, text.size() - start);
    *next = start + length;
    if (keepLineEnds) {
        return text.substr(start, length);
    }
    // As SplitIntoCrlfLines makes lines: the line end goes (a lone CR at the
    // very end too), and CR LF takes its place.
    return text.substr(start, length - LineEndLength(text.data() + start, length)) + kCrLf;
}

std::vector<std::string> HostJob::Lines() const {
    std::vector<std::string> lines;
    if (!createdByModule) {
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t next = 0;
            lines.push_back(ServedLine(start, &next));
            start = next;
        }
        return lines;
    }
    std::size_t start = 0;
    std::size_t piece = 0;
    while (start < text.size()) {
        const std::size_t feed = text.find('\n', start);
        std::size_t end = feed == std::string::npos ? text.size() : feed + 1;
        while (piece < pieceEnds.size() && pieceEnds[piece] <= start) {
            ++piece;
        }
        if (piece < pieceEnds.size() && pieceEnds[piece] < end) {
            end = pieceEnds[piece];
        }
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::vector<const HostJob*> StandInServer::CreatedJobs() const {
    std::vector<const HostJob*> created;
    for (const auto& job : jobs_) {
        if (job->createdByModule) {
            created.push_back(job.get());
        }
    }
    return created;
}

std::string StandInServer::Leaks() const {
    std::ostringstream report;
    for (const auto& job : jobs_) {
        if (job->createdByModule && !job->released) {
            report << "job from " << job->sender << " not released; ";
        }
    }
    for (const auto& message : messages_) {
        if (!message->closed) {
            report << "message file not closed; ";
        }
    }
    tempFilesLeft_.clear();
    for (const std::string& path : tempFiles) {
        if (FileExists(path)) {
            report << "temporary file " << path << " left behind; ";
            tempFilesLeft_.push_back(path);
        }
    }
    tempFilesLookedFor_ = tempFiles.size();
    return report.str();
}

bool StandInServer::AllowDeletion(const std::string& path) {
    const bool noWayToClose = faults.missingServices.count(kHostCloseMessageFileOffset) != 0;
    bool held = false;
    for (const auto& message : messages_) {
        if (!message->closed && message->path == path) {
            held = true;
            if (!noWayToClose) {
                violations.push_back("temporary file " + path +
                                     " deleted while the host still has it open");
            }
        }
    }
    return !held;
}

void StandInServer::Submitted(const HostJob& job) {
    if (faults.feedBack == FeedBack::kNever) {
        return;
    }
    if (job.generation > faults.feedBackGenerations) {
        violations.push_back("mail loop: the module re-sent its own replacement, " +
                             std::to_string(job.generation) + " generations deep");
        return;
    }
    // The server queues the submitted job as a job of its own.
    HostJob* queued = NewJob();
    queued->sender = job.sender;
    queued->recipients = job.recipients;
    queued->text = job.text;
    queued->generation = job.generation;
    if (faults.feedBack == FeedBack::kInsideClose) {
        RunDaemonOn(queued);
    } else {
        queue_.push_back(queued);
    }
}

void StandInServer::RunQueuedJobs() {
    while (!queue_.empty()) {
        HostJob* job = queue_.front();
        queue_.pop_front();
        RunDaemonOn(job);
    }
}

void StandInServer::RunDaemonOn(HostJob* job) {
    const unsigned outer = currentGeneration_;
    currentGeneration_ = job->generation;
    fedBackResults.push_back(faults.feedBackDaemon(reinterpret_cast<JobHandle>(job), Block(),
                                                   nullptr, faults.feedBackSender));
    currentGeneration_ = outer;
}

HostJob* StandInServer::NewJob() {
    jobs_.push_back(std::make_unique<HostJob>());
    return jobs_.back().get();
}

HostMessage* StandInServer::NewMessage() {
    messages_.push_back(std::make_unique<HostMessage>());
    return messages_.back().get();
}

bool StandInServer::OwnsJob(const HostJob* job) const {
    for (const auto& owned : jobs_) {
        if (owned.get() == job) {
            return true;
        }
    }
    return false;
}

bool StandInServer::OwnsMessage(const HostMessage* message) const {
    for (const auto& owned : messages_) {
        if (owned.get() == message) {
            return true;
        }
    }
    return false;
}

bool StandInServer::NextTempPath(std::string* path, std::string* reason) {
    const unsigned serial = g_tempSerial++;
    if (!TempCopyPath(serial, path, reason)) {
        return false;
    }
    NoteCopyInFlight(*path);
    return true;
}
