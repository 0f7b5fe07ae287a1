// Entry of the parts export.
#pragma once

#include "run_context.h"

/// The -parts export; 0 on success, otherwise the failing step's status.
int export_parts(RunContext& ctx);
