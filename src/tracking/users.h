// Entry of the users export.
#pragma once

#include "run_context.h"

/// The -users export; 0 on success, -1 on failure.
int export_users(RunContext& ctx);
