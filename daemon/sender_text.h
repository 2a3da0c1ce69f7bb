// The configured sender as text: without the white space a server trims
// around an address, and its domain.
#ifndef VELMORA_DAEMON_SENDER_TEXT_H
#define VELMORA_DAEMON_SENDER_TEXT_H

#include <cstddef>

// The sender without the spaces and tabs around it: where it starts, with
// `*length` set. `sender` must not be null.
const char* TrimmedSender(const char* sender, std::size_t* length);

// The domain of `sender` for a Message-ID when the server has no domain
// setting: the text after its last "@", without the spaces and tabs around
// the sender and without a closing ">". Returns where it starts and sets
// `*length`; the length is 0 when the sender has no "@" or nothing after
// it.
const char* SenderDomain(const char* sender, std::size_t* length);

#endif
