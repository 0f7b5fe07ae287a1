// The parts export is not built yet: it fails with a clear message, never reports success.
#include "parts_export.h"

int export_parts(RunContext& ctx) {
    ctx.console.print("\n\nERROR:  The -parts export is not available in this build\n\n");
    return -1;
}
