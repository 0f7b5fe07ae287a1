// The command interpreter as a Shell.
#include "shell.h"

#include "platform.h"

int SystemShell::run(const std::string& commandLine) { return platform::run_command(commandLine); }
