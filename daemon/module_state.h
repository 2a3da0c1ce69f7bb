// The module's only long-lived state: the domain written after the "@" of
// every Message-ID we create, learnt from the host at start-up.
#ifndef VELMORA_DAEMON_MODULE_STATE_H
#define VELMORA_DAEMON_MODULE_STATE_H

// Replaces the stored domain with a copy of `domain` (null stores the empty
// string). If no memory can be had for the copy, the domain becomes empty.
void StoreMessageIdDomain(const char* domain);

// The stored domain; the empty string until a start-up stored one. The
// pointer stays valid until the next StoreMessageIdDomain call.
const char* MessageIdDomain();

// Frees the stored domain when the module is unloaded.
void ReleaseMessageIdDomain();

#endif
