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
/// file it names (its redirection target) and returns `status` with `errorOutput`.
/// A shell with a variable records its commands here too, after "NAME=value ".
class FakeShell : public Shell {
public:
    CallResult run(const std::string& commandLine) override { return run_as("", commandLine); }
    std::unique_ptr<Shell> with_variable(const std::string& name, const std::string& value) override {
        return std::make_unique<WithVariable>(*this, name + "=" + value + " ");
    }

    std::map<std::string, std::string> answers;  // file name -> its content
    std::vector<std::string> commands;
    int status = 0;
    std::string errorOutput;

private:
    CallResult run_as(const std::string& variables, const std::string& commandLine) {
        commands.push_back(variables + commandLine);
        for (const auto& [file, text] : answers)
            if (commandLine.find(file) != std::string::npos) write_text(file, text);
        return {status, errorOutput, false};
    }
    struct WithVariable : Shell {
        WithVariable(FakeShell& base, std::string variables) : base_(base), variables_(std::move(variables)) {}
        CallResult run(const std::string& commandLine) override { return base_.run_as(variables_, commandLine); }
        std::unique_ptr<Shell> with_variable(const std::string& name, const std::string& value) override {
            return std::make_unique<WithVariable>(base_, variables_ + name + "=" + value + " ");
        }
        FakeShell& base_;
        std::string variables_;
    };
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
