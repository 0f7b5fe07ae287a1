// Helpers for end-to-end tests: running built programs (the Linux ones, or the Windows ones
// under wine) in scratch folders, simulated servers (from a fixture, SQL or generator
// parameters), the client's call log, readers of the export files, and whole runs compared
// with expected files.
#pragma once

#include <cstdint>
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

/// The programs under test are the Linux build's, or, when FERROX_E2E_WINE names the
/// Windows build folder, its Windows programs under wine (wine64, CMake's FERROX_WINE),
/// with the Windows build of the simulated client; simgen stays the Linux one.
bool under_wine();
/// The Windows build folder under wine (its helpers in check/), else "".
std::string wine_build_dir();
/// The program under test `name` (ferrox_cvn, ferrox_vandor, tagsmith) of this platform.
std::string program(const std::string& name);
/// `path` as the programs under test name it: itself, or Z:\... under wine.
std::string native_path(const std::filesystem::path& path);
/// Each LF of `text` made CR LF.
std::string to_crlf(const std::string& text);
/// Text a program under test wrote: under wine it must be to_crlf() of a text (else a test
/// failure naming `what`: an LF where CR LF belongs), which is returned; else `text`.
std::string from_native(const std::string& text, const std::string& what);

/// The file tests/e2e/expected/`name` of the source tree; under wine its variant NAME.wine.EXT
/// where the platforms differ by nature (the interpreter's quoting), if there is one.
std::string expected_text(const std::string& name);

/// A fresh, empty folder for one test (see scratch_folder.h).
using ScratchDir = test_folder::ScratchFolder;
using test_folder::read_text;
using test_folder::write_text;

struct RunResult {
    int status = -1;  // exit status (0..255), or -1 when the program did not exit normally
    std::string out;  // everything written to standard output
    std::string err;  // everything written to standard error
};

struct RunOptions {
    std::filesystem::path cwd = {};                  // where the program runs
    std::map<std::string, std::string> setEnv = {};  // variables to set (or override)
    std::vector<std::string> unsetEnv = {};          // variables to remove
    bool simOnPath = true;                      // put sim-bin first on PATH
    std::string launcher = {};  // what starts the program (wine64), or nothing
    bool crlf = false;          // its console has CR LF line ends: read back with from_native()
    bool oneStream = false;     // standard error goes to standard output, as on a console
};

/// The options that run a program under test in `cwd`: under wine, its launcher, CR LF
/// line ends and the Windows programs' folders on its path (WINEPATH).
RunOptions program_options(const std::filesystem::path& cwd);

/// Runs `program` (its path is passed unchanged as argv[0], after the launcher if any)
/// with `args` and standard input from the null device; waits for it.
/// The environment is this process's, with the changes of `options`. Under a launcher, a
/// run in which wine's cmd failed to start a program it found ("... as an internal or
/// external command") runs once more from the folder (and SIM_LOG) as it was, and is
/// listed in wine-reruns.txt of the build folder; a fault of the program's own fails twice.
RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options);

enum class SimKind { corvane, vandor };

/// Generator parameters (see sim/README.md); the defaults are the generator's.
struct SimGenParams {
    std::uint64_t seed = 1;
    int parts = 0;
    int revisions = 8;
    double branchProb = -1;       // below 0: the generator's default
    int defects = 0;
    int features = 0;
    int users = 0;
    int configFields = -1;        // below 0: the generator's default
    long noteSize = 2048;
    std::vector<long> noteSizes;  // exact sizes of the first notes
    std::vector<std::string> more = {};  // further options, as given
};

/// Creates (replacing) the database file `db` from the kind's hand-written fixture, then
/// `extraSql` (may be empty), and returns true; on failure it adds a test failure
/// carrying the generator's message and returns false.
bool create_server(SimKind kind, const std::filesystem::path& db, const std::string& extraSql = "");

/// The lines of `text`, without their line ends.
std::vector<std::string> lines_of(const std::string& text);

/// Reads a tracking import file the way a strict CSV reader would: every value quoted,
/// "" inside quotes one quote, line breaks inside quotes part of the value, every record
/// ended by a line end. Any other shape adds a test failure.
std::vector<std::vector<std::string>> parse_csv(const std::string& text);

/// `console` with the figures of a plan's time, which vary from run to run, as {T} and {MS}.
std::string steady(const std::string& console);

/// True when every "X_BEGIN" line of an element import or saved file is closed by its
/// "X_END" line, in order.
bool blocks_balanced(const std::string& text);

/// A server of one kind in a folder of its own, and a folder for ferrox to run in that
/// holds only what the runs leave behind.
class ServerRun {
public:
    explicit ServerRun(SimKind kind) : kind_(kind) {}
    /// Each creates the server as create_server does: the fixture, then `extraSql`; the
    /// generator's data from `params`; the bare schema (no rows, no configurable fields),
    /// then `sql`.
    bool fixture(const std::string& extraSql = "") const;
    bool generated(const SimGenParams& params) const;
    bool sql(const std::string& sql) const;
    /// Runs ferrox_cvn or ferrox_vandor in the run folder with the family variable and
    /// SIM_LOG set, then `env` on top and `unset` removed; the simulator's folder goes
    /// first on PATH unless `env` sets PATH.
    RunResult run(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {},
                  const std::vector<std::string>& unset = {}) const;
    /// The options run() uses, for running another program (a shell around ferrox) there.
    RunOptions options(const std::map<std::string, std::string>& env = {},
                       const std::vector<std::string>& unset = {}) const;
    /// ferrox_cvn or ferrox_vandor.
    std::string program() const;
    const std::filesystem::path& work() const { return work_.path(); }
    /// The lines of the client's call log, without their line ends.
    std::vector<std::string> log() const { return lines_of(read_text(server_ / "sim.log")); }
    std::vector<std::string> files_left() const { return work_.files(); }
    /// A file the run wrote, with LF line ends (see from_native()); the journal, the run's
    /// own, as it is.
    std::string output(const std::string& name) const {
        return name == "ferrox.journal" ? read_text(work_ / name) : from_native(read_text(work_ / name), name);
    }

private:
    std::filesystem::path db() const { return server_ / "server.db"; }

    SimKind kind_;
    ScratchDir server_;
    ScratchDir work_;
};

/// A run of ferrox in a fresh folder against a server of one kind (the fixture, or the
/// generator's server when `generated` is given). Compared whole with the expected files
/// tests/e2e/expected/<folder>/<stem>.*: the console (.console), the standard error
/// (.err) and the server's calls (.log), where no such file means nothing, and the one
/// file the run writes besides its inputs (.export); the inputs must stay as they were.
struct ExpectedRun {
    const char* stem;
    SimKind kind;
    std::vector<std::string> args;
    int status = 0;
    std::vector<std::string> left = {};              // the folder's files afterwards, inputs included
    std::map<std::string, std::string> inputs = {};  // written into the folder first
    std::map<std::string, std::string> env = {};
    std::vector<std::string> unset = {};
    const SimGenParams* generated = nullptr;
};
void check_run(const std::string& folder, const ExpectedRun& c);

}  // namespace e2e
