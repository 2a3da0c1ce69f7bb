// What a host expects of the module when it calls the host's services: the
// fixed arguments, the sizes of the buffers it lends, and the layout of the
// job record it fills. Shared by our hosts (the stand-in server and the
// fuzzed one), which check every call against these values.
//
// Spelt out here rather than taken from the module's headers, so that a
// wrong constant there shows up as a broken contract instead of agreeing
// with itself.
#ifndef VELMORA_STANDIN_HOST_CONTRACT_H
#define VELMORA_STANDIN_HOST_CONTRACT_H

#include <cstddef>
#include <cstdint>

namespace host_contract {

constexpr std::int32_t kDomainItem = 3;
constexpr std::int32_t kExtractLimit = 255;
constexpr std::int32_t kRewindMode = 2;
constexpr std::int32_t kCreateKind = 1;
constexpr const char* kCreateOptions = "0";
constexpr std::int32_t kRecipientStart = 0;
constexpr std::size_t kRecipientScratchBytes = 122;
constexpr std::int32_t kTempKind = 7;
constexpr std::int32_t kTempFlags = 0;
constexpr std::size_t kTempPathBytes = 128;
constexpr std::int32_t kOpenFlags = 0;
constexpr std::int32_t kHeaderBufferBytes = 256;
constexpr const char* kAutoreplyHeader = "X-Autoreply-From";
constexpr std::int32_t kWriteMode = 16;
constexpr std::int32_t kLogFacilityCode = 10;
constexpr std::int32_t kReadLineBytes = 10000;
constexpr std::size_t kAddressBufferBytes = 256;
constexpr std::size_t kJobRecordBytes = 122;
constexpr std::size_t kSenderPointerOffset = 10;
constexpr const char* kNullReversePath = "<>";

} // namespace host_contract

#endif
