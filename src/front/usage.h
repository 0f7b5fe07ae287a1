// The usage block of each server kind and the help lines of every option, printed by the front
// end; the parts export gets the refusal text through its RunContext.
#pragma once

#include <string>

#include "run_settings.h"

/// The program name ("ferrox_cvn" or "ferrox_vandor") and the kind's usage block, as
/// printed after "Correct Usage:".
std::string usage_text(ServerKind kind);

/// The error heading, program name and usage block of a refused command line.
std::string invalid_parameters_text(ServerKind kind);

/// One line for every option the parse accepts, with what it does: printed after the
/// usage block when help is asked for.
std::string option_lines();
