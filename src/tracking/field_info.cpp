// Placeholder defect and feature exports: they fail until the tracking exports land.
#include "field_info.h"

int export_defects(RunContext& ctx) {
    ctx.console.print("\n\nERROR:  The -defects export is not available in this build\n\n");
    return -1;
}

int export_features(RunContext& ctx) {
    ctx.console.print("\n\nERROR:  The -features export is not available in this build\n\n");
    return -1;
}
