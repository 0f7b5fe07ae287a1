// Scratch folders and child processes for end-to-end tests (POSIX only, like the simulator).
#include "e2e_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <gtest/gtest.h>

extern char** environ;

namespace e2e {

std::string bin_dir() { return FERROX_BIN_DIR; }
std::string sim_bin_dir() { return FERROX_SIM_BIN_DIR; }
std::string source_dir() { return FERROX_SOURCE_DIR; }

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options) {
    std::filesystem::path outPath = std::filesystem::temp_directory_path() /
                                    ("ferrox-e2e-out-" + std::to_string(::getpid()));
    std::filesystem::path errPath = outPath;
    errPath += ".err";

    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (eq) env[std::string(*e, static_cast<std::size_t>(eq - *e))] = eq + 1;
    }
    for (const auto& name : options.unsetEnv) env.erase(name);
    for (const auto& [name, value] : options.setEnv) env[name] = value;
    if (options.simOnPath) env["PATH"] = sim_bin_dir() + ":" + env["PATH"];
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : env) envStrings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);

    std::vector<std::string> argvStrings{program};
    argvStrings.insert(argvStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argvStrings) argv.push_back(s.data());
    argv.push_back(nullptr);

    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(126);
        int in = ::open("/dev/null", O_RDONLY);
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0) ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    int raw = 0;
    while (::waitpid(pid, &raw, 0) < 0) {
    }
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = read_text(outPath);
    result.err = read_text(errPath);
    std::error_code ec;
    std::filesystem::remove(outPath, ec);
    std::filesystem::remove(errPath, ec);
    return result;
}

}  // namespace e2e
