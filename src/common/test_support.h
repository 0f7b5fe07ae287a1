// Helpers for unit tests of ferrox's libraries: a fresh current folder per test (the
// scratch file names are fixed), whole-file reading and writing, a recording client.
// Tests only.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "run_context.h"
#include "scratch_folder.h"
#include "shell.h"

namespace test_support {

using test_folder::InScratchDir;
using test_folder::read_text;
using test_folder::write_text;

/// A server client stand-in: records every command line, writes the canned answer of each
/// file it names (its redirection target) and returns `status`.
/// Variables are recorded, not set: no test changes the process environment.
class FakeShell : public Shell {
public:
    int run(const std::string& commandLine) override {
        commands.push_back(commandLine);
        for (const auto& [file, text] : answers)
            if (commandLine.find(file) != std::string::npos) write_text(file, text);
        return status;
    }
    void set_env(const std::string& name, const std::string& value) override { env[name] = value; }

    std::map<std::string, std::string> answers;  // file name -> its content
    std::map<std::string, std::string> env;
    std::vector<std::string> commands;
    int status = 0;
};

/// Settings, console, fake client and scratch registry of one export under test.
template <typename ShellType = FakeShell>
struct TestRun {
    RunSettings settings;
    BufferConsole console;
    ShellType shell;
    ScratchFiles scratch;
    RunContext ctx{settings, console, shell, scratch};
};

}  // namespace test_support
