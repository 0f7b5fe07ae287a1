// The command interpreter as a Shell.
#include "shell.h"

#include "platform.h"

void Shell::set_env(const std::string& name, const std::string& value) { platform::set_env(name, value); }

int SystemShell::run(const std::string& commandLine) { return platform::run_command(commandLine); }

namespace {

class SeriesShell : public Shell {
public:
    int run(const std::string& commandLine) override { return session_.run(commandLine); }
    // The interpreter started before the variable was set must learn it as well.
    void set_env(const std::string& name, const std::string& value) override { session_.set_env(name, value); }
    std::vector<int> run_each(const std::vector<std::string>& commandLines) override {
        return session_.run_all(commandLines);
    }

private:
    platform::CommandSession session_;
};

}  // namespace

std::unique_ptr<Shell> SystemShell::start_series() { return std::make_unique<SeriesShell>(); }
