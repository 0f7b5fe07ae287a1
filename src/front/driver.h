// The run driver of ferrox: server kind, banner, options, checks, one export.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console.h"
#include "run_settings.h"
#include "shell.h"

/// The server kind an invocation name selects: Vandor when the name (path included)
/// holds "_vandor" anywhere, case-sensitively; Corvane for every other name.
ServerKind server_kind_from_invocation(std::string_view invocationName);

/// Reads an environment variable: nothing when it is not defined.
using EnvLookup = std::function<std::optional<std::string>(const char* name)>;

/// Runs ferrox with the argument vector `args` (args[0] is the invocation name):
/// defaults, server kind, banner, option parse, family variable, connection test,
/// the chosen export, and the "Export File Name" line after a successful export.
/// Returns the run status: 0 success, -1 on a failure found here, otherwise the
/// export's own status. `getEnv` answers the family variable check.
int run_ferrox(const std::vector<std::string>& args, Console& console, Shell& shell,
               const EnvLookup& getEnv);

/// The same, reading the process environment.
int run_ferrox(const std::vector<std::string>& args, Console& console, Shell& shell);
