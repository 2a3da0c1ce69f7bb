// Our stand-in server: a stand-in for the closed mail server, holding its
// jobs in memory and offering every service the module uses through a
// service block laid out like the real one.
//
// Only one stand-in server can be active at a time, since the services are
// plain functions without a context argument; the host registers itself on
// construction. It is meant for one thread.
#ifndef VELMORA_STANDIN_STANDIN_SERVER_H
#define VELMORA_STANDIN_STANDIN_SERVER_H

#include "daemon/entry_points.h"
#include "host/service_block.h"
#include "standin/host_faults.h"
#include "standin/host_settings.h"
#include "standin/job_record.h"

#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// A mail job as the host keeps it. Its message is held in one piece, not
// as a string per line: a message of many short lines would otherwise
// take many times its size.
struct HostJob {
    std::string sender;                  // envelope sender (MAIL FROM)
    std::vector<std::string> recipients; // in order
    // Handed in: the message as given; its line ends are served as CR LF
    // (as the host stores mail), or as they are when `keepLineEnds`.
    // Written by the module: its writes one after another.
    std::string text;
    bool keepLineEnds = false;
    // Where a write of the module's ended without ending a line (a piece
    // of a long line), so that Lines() gives each write back.
    std::vector<std::size_t> pieceEnds;
    std::size_t nextRecipient = 0;  // HostNextRecipient cursor
    std::size_t nextLine = 0;       // HostReadLine cursor: the line's number
    std::size_t lineStart = 0;      // where that line starts in `text`
    std::size_t nextOffset = 0;     // and the next byte of it, as served
    std::string servedLine;         // that line as served, once its first piece is
    std::size_t servedLineNext = 0; // where the line after it starts
    bool createdByModule = false;
    bool closed = false;
    bool released = false;
    bool gaveEmptyRead = false; // the emptyReadBeforeLine fault, once
    // 0 for the jobs handed in; a job the module creates while DAEMON runs
    // on a job of generation g has generation g + 1.
    unsigned generation = 0;

    // The line that starts at `start` as the host serves it, line end
    // included; `next` gets where the following line starts. Empty at the
    // end of the text.
    std::string ServedLine(std::size_t start, std::size_t* next) const;

    // The job's lines, each with its line end: handed in, as HostReadLine
    // serves them; written by the module, each write.
    std::vector<std::string> Lines() const;
};

// A message file opened through HostOpenMessageFile. Like a real server,
// the host keeps the file itself open until HostCloseMessageFile.
struct HostMessage {
    std::string path;
    std::intptr_t held = -1; // the file held open (temp_files.h), -1 for none
    std::vector<std::string> lines;
    std::string headerValue; // last value found, owned by the host
    bool closed = false;
};

class StandInServer {
  public:
    // Makes this server the active one; the service block is built on
    // first use.
    explicit StandInServer(HostSettings setUp = HostSettings());
    // A server with the default settings but the given version bytes.
    StandInServer(unsigned char major, unsigned char minor);
    ~StandInServer();
    StandInServer(const StandInServer&) = delete;
    StandInServer& operator=(const StandInServer&) = delete;

    // The block to hand to the module. Built on first use, so that the
    // faults that leave slots empty can be set before.
    const HostServiceBlock* Block();

    // Adds a job handed to the module; `message` may use LF or CRLF line
    // ends and is served with CRLF, as the host stores mail. The job takes
    // the text over.
    JobHandle AddIncomingJob(const std::string& sender, const std::vector<std::string>& recipients,
                             std::string message);

    // How much a replacement of the last job handed in will take: its text
    // with every line end made CR LF, and room for a Message-ID line. The
    // host reserves it at once, so that a large message is not copied
    // again and again as its replacement grows.
    std::size_t ReplacementCapacity() const;

    // Calls DAEMON on `job`, handed in with AddIncomingJob, with the
    // daemon's parameter string, as the server does for each job it
    // queues; the result goes into the job's record too.
    std::int32_t RunDaemon(DaemonEntryFn daemon, JobHandle job, const char* parameter);

    // Ends the job in hand: what it did, and what the module left behind,
    // handed over; the server then forgets the job (ForgetHistory).
    JobRecord EndJob();

    HostSettings settings;
    HostFaults faults;

    // The job in hand as it goes, until EndJob or ForgetHistory clears it.
    std::vector<LogEntry> logs;
    std::vector<std::string> calls;          // service names, in call order, when traced
    std::vector<std::string> violations;     // misuse of a service by the module
    std::vector<std::string> tempFiles;      // paths handed out by HostTempFileName
    std::vector<std::string> extractedTexts; // texts passed to HostExtractAddress
    // What failed in the host itself (not a fault it was told to show):
    // a temporary copy it could not write or read back, with the reason.
    std::vector<std::string> serverFailures;
    // A service could not get the memory it needed and answered as failed.
    bool outOfMemory = false;
    int messagesOpened = 0;
    int messagesClosed = 0;
    std::vector<std::int32_t> fedBackResults; // DAEMON's results on fed-back jobs

    // Runs DAEMON on the queued jobs the module submitted, in order, and on
    // those it submits meanwhile, until the queue is empty (the FeedBack
    // fault kFromQueue).
    void RunQueuedJobs();

    // Jobs the module created, in order.
    std::vector<const HostJob*> CreatedJobs() const;

    // Everything the module left behind: created jobs not released, message
    // files not closed, temporary files still on disk. Empty when clean.
    // What it finds on disk is remembered, so that ForgetHistory does not
    // try to remove again the copies found gone.
    std::string Leaks() const;

    // Drops every job, message file and record so far, keeping the block
    // and the faults: a host that runs thousands of jobs one after another
    // keeps its memory and its handle checks small. Call it only between
    // jobs, after looking at what the last one did; a handle from before is
    // unknown afterwards.
    void ForgetHistory();

    // Asked by a platform stand-in whether the module's deletion of the
    // file at `path` goes through. As on Windows, whatever the platform, a
    // file the host still holds open cannot be deleted: the answer is then
    // false and the copy stays on disk. Deleting a message file before
    // closing it is a violation, unless the host offers no way to close it
    // (then the copy left behind is the host's fault, not the module's).
    bool AllowDeletion(const std::string& path);

    // The active host, for the service functions.
    static StandInServer* Active();

    // Used by the service functions.
    HostJob* NewJob();
    HostMessage* NewMessage();
    bool OwnsJob(const HostJob* job) const;
    bool OwnsMessage(const HostMessage* message) const;
    // The path for the next temporary copy; false with `reason` when the
    // host has no place for it.
    bool NextTempPath(std::string* path, std::string* reason);
    unsigned CurrentGeneration() const { return currentGeneration_; }
    // Told by HostCloseJob that the module submitted `job`.
    void Submitted(const HostJob& job);

  private:
    void BuildBlock();
    void CloseHeldFiles();
    void RunDaemonOn(HostJob* job);

    bool daemonCalled_ = false;
    std::int32_t daemonResult_ = 0;
    std::vector<unsigned char> blockBytes_;
    std::vector<std::unique_ptr<HostJob>> jobs_;
    std::vector<std::unique_ptr<HostMessage>> messages_;
    std::deque<HostJob*> queue_;
    const HostJob* lastIncoming_ = nullptr;
    unsigned currentGeneration_ = 0;
    // From the last Leaks: how many of tempFiles it looked for, and those
    // it found still on disk.
    mutable std::size_t tempFilesLookedFor_ = 0;
    mutable std::vector<std::string> tempFilesLeft_;
};

#endif
