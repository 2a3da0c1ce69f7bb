// The envelope sender a message's Return-Path: header records. The
// delivering server writes that header at the top of the message from the
// envelope it received, so the topmost one is the best guess at the
// sender a saved message arrived with.
#ifndef VELMORA_RUNNER_JOB_RETURN_PATH_H
#define VELMORA_RUNNER_JOB_RETURN_PATH_H

#include <string>

// The value of the first Return-Path: field in the header section of
// `message` (LF or CRLF line ends; unfolded, without white space around
// it), or `fallback` when there is none or it is empty. "<>" comes back as
// "<>", which is what marks an automatic reply. When the field gives the
// sender, that field (its folded lines too) is taken out of `message`. It is the delivering
// server's trace of the envelope, written on delivery, not part of the
// message the sending server queued: a job made of the saved message
// leaves it out, and so no replacement carries a stale "Return-Path: <>"
// that a later run would read as the replacement's own sender.
std::string TakeReturnPath(std::string* message, const std::string& fallback);

#endif
