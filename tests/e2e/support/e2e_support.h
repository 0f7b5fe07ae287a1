// Helpers for end-to-end tests: scratch folders, running built programs, file access.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

/// Folders of the build, known at compile time.
std::string bin_dir();      // build/bin: ferrox_cvn, ferrox_vandor, tagsmith
std::string sim_bin_dir();  // build/sim-bin: corv, cvnselect, Report, Defect, Feature, File
std::string source_dir();   // the source tree (fixtures live under it)

/// A fresh, empty folder that is removed again (with its contents) at the end of the
/// test, unless the test failed and FERROX_KEEP_SCRATCH is set.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

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
    std::optional<std::string> stdinText;              // nothing means /dev/null
};

/// Runs `program` (its path is passed unchanged as argv[0]) with `args`; waits for it.
/// The environment is this process's, with the changes of `options`.
RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options);

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::string& content);

}  // namespace e2e
