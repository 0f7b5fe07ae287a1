// Helpers for end-to-end tests that need a simulated server: creating server databases
// (from a fixture or generator parameters), the client's environment, its call log.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace e2e {

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
};

const char* kind_name(SimKind kind);  // "corvane" or "vandor"

/// Each creates (replacing) the database file `db` and returns true; on failure it adds a
/// test failure carrying the generator's message and returns false.
/// The kind's hand-written fixture, then `extraSql` (may be empty).
bool create_server(SimKind kind, const std::filesystem::path& db, const std::string& extraSql = "");
/// Synthetic data from `params`.
bool create_server_generated(SimKind kind, const std::filesystem::path& db, const SimGenParams& params);
/// The bare schema (no rows, no configurable fields), then `sql`.
bool create_server_sql(SimKind kind, const std::filesystem::path& db, const std::string& sql);

/// The environment for RunOptions::setEnv: the family variable naming `db`, and SIM_LOG
/// when `log` is given.
std::map<std::string, std::string> sim_env(SimKind kind, const std::filesystem::path& db,
                                           const std::filesystem::path& log = {});

/// The lines of `text`, without their line ends.
std::vector<std::string> lines_of(const std::string& text);

/// Reads a tracking import file the way a strict CSV reader would: every value quoted,
/// "" inside quotes one quote, line breaks inside quotes part of the value, every record
/// ended by a line end. Any other shape adds a test failure.
std::vector<std::vector<std::string>> parse_csv(const std::string& text);

/// True when every "X_BEGIN" line of an element import or saved file is closed by its
/// "X_END" line, in order.
bool blocks_balanced(const std::string& text);

/// The lines of a SIM_LOG file, without their line ends; empty when there is no file.
std::vector<std::string> read_sim_log(const std::filesystem::path& log);

/// A server of one kind in a folder of its own, and a folder for ferrox to run in that
/// holds only what the runs leave behind.
class ServerRun;

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
    std::vector<std::string> left = {};                // the folder's files afterwards, inputs included
    std::map<std::string, std::string> inputs = {};    // written into the folder first
    std::map<std::string, std::string> env = {};
    std::vector<std::string> unset = {};
    const SimGenParams* generated = nullptr;
};
void check_run(const std::string& folder, const ExpectedRun& c);

class ServerRun {
public:
    explicit ServerRun(SimKind kind) : kind_(kind) {}
    bool fixture(const std::string& extraSql = "") { return create_server(kind_, db(), extraSql); }
    bool generated(const SimGenParams& params) { return create_server_generated(kind_, db(), params); }
    bool sql(const std::string& sql) { return create_server_sql(kind_, db(), sql); }
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
    /// One command of the simulated client without an interpreter: the server's own
    /// answer, independent of ferrox. A failing command fails the test.
    std::string client(const std::string& command, const std::vector<std::string>& args) const;
    std::vector<std::string> log() const { return read_sim_log(server_ / "sim.log"); }
    std::vector<std::string> files_left() const { return work_.files(); }
    std::string output(const std::string& name) const { return read_text(work_ / name); }

private:
    std::filesystem::path db() const { return server_ / "server.db"; }

    SimKind kind_;
    ScratchDir server_;
    ScratchDir work_;
};

}  // namespace e2e
