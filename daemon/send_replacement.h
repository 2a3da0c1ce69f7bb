// Re-queues an automatic reply under the configured sender.
#ifndef VELMORA_DAEMON_SEND_REPLACEMENT_H
#define VELMORA_DAEMON_SEND_REPLACEMENT_H

#include "host/service_block.h"

// Creates a new job from `sender` to the incoming job's recipients, writes a
// fresh Message-ID line and copies the incoming message without its old
// Message-ID field, then hands the job to the host. Returns true when the
// host accepted it. The new job is always released before returning; the
// incoming job is only read. `sender` must not be null.
bool SendReplacement(JobHandle incoming, const HostServiceBlock* block, const char* sender);

#endif
