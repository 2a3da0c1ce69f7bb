// The fuzzed host's bookkeeping; its services are in fuzzed_services.cpp.
#include "fuzz/fuzzed_host.h"

#include "fuzz/fuzzed_services.h"

#include <cstdlib>

namespace {

FuzzedHost* g_active = nullptr;

// The services that may be left out of the block, by 32-bit byte offset,
// in the order of the bits of the input's "missing" mask.
constexpr std::size_t kOptionalServices[] = {
    kHostQueryStringOffset,
    kHostCheckAddressOffset,
    kHostExtractAddressOffset,
    kHostVerifyAddressOffset,
    kHostCloseJobOffset,
    kHostRewindJobOffset,
    kHostReleaseJobOffset,
    kHostGetJobInfoOffset,
    kHostCreateJobOffset,
    kHostAddRecipientOffset,
    kHostWriteLineOffset,
    kHostReadLineOffset,
    kHostNextRecipientOffset,
    kHostTempFileNameOffset,
    kHostOpenMessageFileOffset,
    kHostCloseMessageFileOffset,
    kHostFindHeaderOffset,
    kHostWriteJobToFileOffset,
    kHostLogOffset,
};

} // namespace

FuzzedHost::FuzzedHost(FuzzedDataProvider* input) : input_(input) {
    if (g_active != nullptr) {
        std::abort(); // one host at a time
    }
    g_active = this;

    // A healthy host fills every slot; most inputs keep it that way, some
    // leave a chosen set of slots null.
    if (input_->ConsumeBool()) {
        const auto mask = input_->ConsumeIntegral<std::uint32_t>();
        for (std::size_t bit = 0; bit < std::size(kOptionalServices); ++bit) {
            if ((mask >> bit) & 1u) {
                missing_.insert(kOptionalServices[bit]);
            }
        }
    }
    block_.assign(kServiceBlockMinimumSize, 0);
    for (std::size_t i = 0; i < kServiceTableOffset; ++i) {
        block_[i] = input_->ConsumeIntegral<unsigned char>();
    }
    InstallFuzzedServices(block_.data(), missing_);
}

FuzzedHost::~FuzzedHost() {
    g_active = nullptr;
}

const HostServiceBlock* FuzzedHost::Block() const {
    return reinterpret_cast<const HostServiceBlock*>(block_.data());
}

bool FuzzedHost::HasService(std::size_t offset32) const {
    return missing_.count(offset32) == 0;
}

JobHandle FuzzedHost::BeginRound() {
    round_ = std::make_unique<DaemonRound>();
    round_->incoming->incoming = true;
    return reinterpret_cast<JobHandle>(round_->incoming.get());
}

DaemonRound& FuzzedHost::Round() {
    if (!round_) {
        std::abort(); // a job service called outside DAEMON
    }
    return *round_;
}

bool FuzzedHost::InStartup() const {
    return !round_;
}

FuzzedDataProvider& FuzzedHost::Input() {
    return *input_;
}

FuzzedHost* FuzzedHost::Active() {
    return g_active;
}
