// Helpers for end-to-end tests: scratch folders, running built programs, file access.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "scratch_folder.h"

namespace e2e {

/// Folders of the build, known at compile time.
std::string bin_dir();      // build/bin: ferrox_cvn, ferrox_vandor, tagsmith
std::string sim_bin_dir();  // build/sim-bin: corv, cvnselect, Report, Defect, Feature, File
std::string source_dir();   // the source tree (fixtures live under it)

/// A fresh, empty folder for one test (see scratch_folder.h).
using ScratchDir = test_folder::ScratchFolder;

struct RunResult {
    int status = -1;  // exit status (0..255), or -1 when the program did not exit normally
    std::string out;  // everything written to standard output
    std::string err;  // everything written to standard error
};

struct RunOptions {
    std::filesystem::path cwd;                         // where the program runs
    std::map<std::string, std::string> setEnv;         // variables to set (or override)
    std::vector<std::string> unsetEnv;                 // variables to remove
    bool simOnPath = true;                             // put sim-bin first on PATH
};

/// Runs `program` (its path is passed unchanged as argv[0]) with `args` and standard
/// input from the null device; waits for it.
/// The environment is this process's, with the changes of `options`.
RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options);

using test_folder::read_text;
using test_folder::write_text;

}  // namespace e2e
