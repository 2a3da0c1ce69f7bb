// The floor under the module's cost: the same sequence of host calls that
// DAEMON makes for an automatic reply it re-sends, with the same buffers
// and the same clearing of the line buffer before every read, but none of
// the module's own work (no header filter, no terminator check, no
// Message-ID formatting, no heap strings, no file deletion). The module's
// time divided by this one is what the module itself adds.
#ifndef VELMORA_BENCH_HOST_CALL_FLOOR_H
#define VELMORA_BENCH_HOST_CALL_FLOOR_H

#include "host/service_block.h"

// Replays the host calls of one re-sent autoreply for `incoming`.
void ReplayReplacementHostCalls(const HostServiceBlock* block, JobHandle incoming);

#endif
