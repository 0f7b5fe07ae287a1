// Helpers for unit tests of ferrox's libraries: a fresh current folder per test (the
// scratch file names are fixed) and whole-file reading and writing. Tests only.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "run_context.h"
#include "shell.h"

namespace test_support {

/// Makes a fresh, empty folder the current one for its lifetime, then restores the
/// previous folder and removes the scratch folder with everything left in it.
class InScratchDir {
public:
    InScratchDir() : previous_(std::filesystem::current_path()) {
        std::random_device seed;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info ? info->name() : "test";
        std::replace(name.begin(), name.end(), '/', '_');
        dir_ = std::filesystem::temp_directory_path() /
               ("ferrox_unit_" + name + "_" + std::to_string(seed()) + std::to_string(seed()));
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
    }
    ~InScratchDir() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    InScratchDir(const InScratchDir&) = delete;
    InScratchDir& operator=(const InScratchDir&) = delete;

    const std::filesystem::path& path() const { return dir_; }
    std::string cwd() const { return std::filesystem::current_path().string(); }

    /// Names of the files left in the folder, sorted.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path previous_;
    std::filesystem::path dir_;
};

/// The whole content of a file, byte for byte (empty when it cannot be read).
inline std::string read_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// Replaces a file's content, byte for byte.
inline void write_text(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

/// A server client stand-in: records every command line, writes the canned answer of
/// each file the line names (its redirection target), and returns `status`.
class FakeShell : public Shell {
public:
    int run(const std::string& commandLine) override {
        commands.push_back(commandLine);
        for (const auto& [file, text] : answers)
            if (commandLine.find(file) != std::string::npos) write_text(file, text);
        return status;
    }
    std::map<std::string, std::string> answers;  // file name -> its content
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
