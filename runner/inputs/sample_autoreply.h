// The automatic reply the runner uses when no message file is given.
#ifndef VELMORA_RUNNER_INPUTS_SAMPLE_AUTOREPLY_H
#define VELMORA_RUNNER_INPUTS_SAMPLE_AUTOREPLY_H

extern const char* const kSampleAutoreply;
extern const char* const kSampleRecipient;

#endif
