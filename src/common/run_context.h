// RunContext: the run's settings and the outside world, passed to every export.
#pragma once

#include "console.h"
#include "run_settings.h"
#include "shell.h"

struct RunContext {
    RunSettings& settings;
    ExportIdentity& identity;
    Console& console;
    Shell& shell;
};
