// Process entry of ferrox.
#include <string>
#include <vector>

#include "driver.h"
#include "platform.h"

// The run status is the exit status: 0 success, -1 failure (which POSIX systems report
// as 255), or a failing export's own status.
int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    platform::install_interrupt_handlers();
    StdConsole console;
    SystemShell shell(platform::Environment::inherited());
    int status = run_ferrox(args, console, shell);
    console.flush();
    // What the run said did not all reach its reader.
    return console.failed() ? -1 : status;
}
