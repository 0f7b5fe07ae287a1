// The run driver of ferrox: server kind, banner, options, checks, one export.
#pragma once

#include <string>
#include <vector>

#include "console.h"
#include "shell.h"

/// Runs ferrox with the argument vector `args` (args[0] is the invocation name) and
/// returns the run status: 0 success, -1 (or the export's status) on failure.
int run_ferrox(const std::vector<std::string>& args, Console& console, Shell& shell);
