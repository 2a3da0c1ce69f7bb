// A typical out-of-office reply as a mail server generates it: null
// envelope sender, the "X-Autoreply-From" header naming the mailbox that
// replied, and a folded Message-ID of the server's own.
#include "runner/inputs/sample_autoreply.h"

const char* const kSampleRecipient = "alice@example.net";

const char* const kSampleAutoreply = "Return-Path: <>\n"
                                     "Date: Mon, 7 Dec 2026 09:15:02 +0100\n"
                                     "From: Bob Example <bob@example.org>\n"
                                     "To: alice@example.net\n"
                                     "Subject: Out of office: Quarterly figures\n"
                                     "Message-ID:\n"
                                     " <autoreply.20261207091502.4711@mail.example.org>\n"
                                     "Auto-Submitted: auto-replied\n"
                                     "X-Autoreply-From: Bob Example <bob@example.org>\n"
                                     "MIME-Version: 1.0\n"
                                     "Content-Type: text/plain; charset=us-ascii\n"
                                     "\n"
                                     "I am out of the office until 14 December and will read\n"
                                     "your message when I am back.\n"
                                     "\n"
                                     "Your original message was:\n"
                                     "Message-ID: <q4-figures.1207@example.net>\n"
                                     "\n"
                                     "-- \n"
                                     "Bob\n";
