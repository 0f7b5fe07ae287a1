// RunContext: the run's settings and the outside world, passed to every export.
#pragma once

#include "console.h"
#include "run_settings.h"
#include "scratch_files.h"
#include "shell.h"

struct RunContext {
    const RunSettings& settings;
    Console& console;
    Shell& shell;
    ScratchFiles& scratch;
};
