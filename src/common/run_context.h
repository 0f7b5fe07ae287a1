// RunContext: the run's settings and the outside world, passed to every export.
#pragma once

#include <string>

#include "console.h"
#include "journal.h"
#include "plan.h"
#include "progress.h"
#include "run_settings.h"
#include "scratch_files.h"
#include "shell.h"

struct RunContext {
    const RunSettings& settings;
    Console& console;
    Shell& shell;
    ScratchFiles& scratch;
    Journal* journal = nullptr;    // what the run has finished, for a later -resume
    Progress* progress = nullptr;  // the -progress line
    CallTimes* callTimes = nullptr;  // with -plan: how long each client call took
    // The heading and usage block of a refused command line, for the checks an export
    // makes after the parse (the front end owns the usage text).
    std::string invalidParameters = {};
};
