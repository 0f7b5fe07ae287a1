// Process entry of ferrox.
#include <string>
#include <vector>

#include "driver.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    StdConsole console;
    SystemShell shell;
    int status = run_ferrox(args, console, shell);
    console.flush();
    return status;
}
