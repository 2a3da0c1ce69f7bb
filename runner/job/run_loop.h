// The one loop of every run: start the module in the stand-in server as
// the server does once, then one job per message, each told to the sink
// as soon as it is judged.
#ifndef VELMORA_RUNNER_JOB_RUN_LOOP_H
#define VELMORA_RUNNER_JOB_RUN_LOOP_H

#include "runner/inputs/input_reader.h"
#include "runner/job/exit_status.h"
#include "runner/job/run_sink.h"
#include "runner/job/server_job.h"
#include "standin/module_loader.h"
#include "standin/standin_server.h"

#include <string>

// Calls STARTUP with `settings`' configured sender, then runs every
// message `inputs` gives through DAEMON in `server`, saving rewritten
// messages' replacements in `saveFolder` unless it is empty. Everything
// goes to `sink`; returns the status the run ends with.
ExitStatus RunMessages(const LoadedModule& module, StandInServer* server, InputReader* inputs,
                       const JobSettings& settings, const std::string& saveFolder, RunSink* sink);

#endif
