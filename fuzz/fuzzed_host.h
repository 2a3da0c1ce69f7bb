// A host whose every answer comes from the fuzzer's input.
//
// Each service, when the module calls it, takes its answer from the input
// at that moment: the version bytes, the configured domain, the job record,
// the header value, the address tests' verdicts, the recipients, the
// message lines, the close result, each service's failure. It also records
// what the module did, so that the target can check afterwards what must
// hold whatever the host says. A broken call contract (wrong fixed
// argument, unknown handle, writing after close) aborts at once.
//
// Services are plain functions, so one host is active at a time.
#ifndef VELMORA_FUZZ_FUZZED_HOST_H
#define VELMORA_FUZZ_FUZZED_HOST_H

#include "host/service_block.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

struct FuzzedJob {
    bool incoming = false;
    std::string sender;                  // as passed to HostCreateJob
    std::vector<std::string> recipients; // as added by the module
    std::vector<std::string> lines;      // as written by the module
    int closeCalls = 0;
    int releaseCalls = 0;
    std::int32_t closeAnswer = 0;
};

struct FuzzedMessage {
    std::string hostOwnedValue; // what HostFindHeader may return from host memory
    int closeCalls = 0;
};

struct FuzzedLog {
    std::int32_t code;
    std::string text;
};

// What HostFindHeader answered, as the module should have seen it.
struct HeaderAnswerRecord {
    bool called = false;
    bool isNull = false;
    std::string value; // the string the answer pointed at
};

// What the host did and saw during one DAEMON call.
struct DaemonRound {
    std::unique_ptr<FuzzedJob> incoming = std::make_unique<FuzzedJob>();
    std::vector<std::unique_ptr<FuzzedJob>> created;
    std::vector<std::unique_ptr<FuzzedMessage>> messages;
    std::vector<FuzzedLog> logs;
    bool senderIsNullReversePath = false; // what HostGetJobInfo reported
    HeaderAnswerRecord header;
    bool extractSaidYes = false;
    bool checkSaidYes = false;
    bool verifySaidYes = false;
    std::vector<std::string> recipientsGiven;
    std::vector<std::string> linesRead; // complete lines handed out, in order
    std::size_t bytesRead = 0;          // bytes handed out by line reads
    // a read the copy must stop at: the buffer filled without terminator,
    // or bytes after the first NUL of a read that does not end its line
    bool unterminatedLineRead = false;
    bool readAfterUnterminated = false; // the module read on after such a line
    bool readBeforeRewind = false;
    bool rewound = false;
    std::vector<std::uint32_t> clockReadings;
};

class FuzzedHost {
  public:
    explicit FuzzedHost(FuzzedDataProvider* input);
    ~FuzzedHost();
    FuzzedHost(const FuzzedHost&) = delete;
    FuzzedHost& operator=(const FuzzedHost&) = delete;

    // The block, with version bytes, junk header bytes and missing slots all
    // taken from the input.
    const HostServiceBlock* Block() const;
    bool HasService(std::size_t offset32) const;

    // Start-up records.
    std::vector<FuzzedLog> startupLogs;
    bool domainQueried = false;
    bool domainIsNull = true;
    std::string domain;

    // Starts a fresh DAEMON round and returns the incoming job's handle.
    JobHandle BeginRound();
    DaemonRound& Round();

    // Temporary files the host holds on "disk" (created by
    // HostWriteJobToFile, removed by the module's file deletion).
    std::set<std::string> files;

    // Every clock reading of this load, in order.
    std::vector<std::uint32_t> clockReadings;

    FuzzedDataProvider& Input();
    bool InStartup() const;
    static FuzzedHost* Active();

  private:
    FuzzedDataProvider* input_;
    std::vector<unsigned char> block_;
    std::set<std::size_t> missing_;
    std::unique_ptr<DaemonRound> round_;
};

#endif
