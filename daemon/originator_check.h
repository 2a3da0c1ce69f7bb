// Asks the host whether the address named in an "X-Autoreply-From" header
// is one we should act on.
#ifndef VELMORA_DAEMON_ORIGINATOR_CHECK_H
#define VELMORA_DAEMON_ORIGINATOR_CHECK_H

#include "host/service_block.h"

// Runs the host's three address tests on `value` in order: extract the
// address, check it, verify it. Yes only when all three say yes. The
// address found is not used further: the replacement always goes out under
// the configured sender.
bool CheckOriginator(const char* value, const HostServiceBlock* block);

#endif
