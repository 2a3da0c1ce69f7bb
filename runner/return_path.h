// The envelope sender a message's Return-Path: header records. The
// delivering server writes that header from the envelope it received, so
// it is the best guess at the sender a saved message arrived with.
#ifndef VELMORA_RUNNER_RETURN_PATH_H
#define VELMORA_RUNNER_RETURN_PATH_H

#include <string>

// The value of the first Return-Path: field in the header section of
// `message` (LF or CRLF line ends; unfolded, without white space around
// it), or `fallback` when there is none or it is empty. "<>" comes back as
// "<>", which is what marks an automatic reply.
std::string SenderFromReturnPath(const std::string& message, const std::string& fallback);

#endif
