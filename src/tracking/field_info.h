// Entries of the defect and feature exports.
#pragma once

#include "run_context.h"

/// The -defects export; 0 on success, -1 on failure.
int export_defects(RunContext& ctx);
/// The -features export; 0 on success, -1 on failure.
int export_features(RunContext& ctx);
