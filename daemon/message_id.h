// Message-IDs of the replacement messages.
//
// The number in a Message-ID is the system's millisecond count, bumped past
// the last number this loaded module issued when the clock has not moved
// past it since, so that no two replacements share an identifier (mail
// stores drop a message whose Message-ID they have seen before).
#ifndef VELMORA_DAEMON_MESSAGE_ID_H
#define VELMORA_DAEMON_MESSAGE_ID_H

#include <cstddef>
#include <cstdint>

// Takes the next Message-ID number: the clock, unless that does not lie
// past the last number issued (the same millisecond, or a burst that ran
// ahead of the clock), in which case the last number plus one. Reads the
// clock once, or again when another thread took a number meanwhile. Safe to
// call from several threads at once: every call gets a number of its own.
std::uint32_t IssueMessageIdNumber();

// Forgets every number issued so far, as a fresh load of the module would.
// The module itself never calls this; tests do, between cases.
void ResetMessageIdSequence();

// Room needed for the Message-ID line with the given domain, terminator
// included.
std::size_t MessageIdLineCapacity(const char* domain);

// Writes "Message-ID: <ar" number "@" domain ">" CR LF into `out`, which
// must hold MessageIdLineCapacity(domain) bytes.
void FormatMessageIdLine(char* out, std::uint32_t number, const char* domain);

#endif
