// Placeholder users export: it fails until the tracking exports land.
#include "users.h"

int export_users(RunContext& ctx) {
    ctx.console.print("\n\nERROR:  The -users export is not available in this build\n\n");
    return -1;
}
