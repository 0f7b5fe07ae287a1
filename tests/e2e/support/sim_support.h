// Helpers for end-to-end tests that need a simulated server: creating server databases
// (from a fixture, generator parameters or SQL), the client's environment, its call log.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

enum class SimKind { corvane, vandor };

/// Generator parameters (see sim/README.md); the defaults are the generator's.
struct SimGenParams {
    std::uint64_t seed = 1;
    int parts = 0;
    int revisions = 8;
    double branchProb = 0.15;
    int branchDepth = 3;
    int releases = 2;
    int workareas = 2;
    int defects = 0;
    int features = 0;
    int users = 0;
    std::optional<int> configFields;  // nothing: 4 when anything is generated, else 0
    long noteSize = 2048;
    std::vector<long> noteSizes;      // exact sizes of the first notes
};

std::string simgen_path();                            // build/sim-bin/simgen
std::filesystem::path fixture_path(SimKind kind);     // sim/fixtures/corvane.sql or vandor.sql
const char* kind_name(SimKind kind);                  // "corvane" or "vandor"
const char* family_variable(SimKind kind);            // "CVN_FAMILY" or "VANDOR_FAMILY"

/// Each creates (replacing) the database file `db` and returns true; on failure it adds a
/// test failure carrying the generator's message and returns false.
/// The kind's hand-written fixture, then `extraSql` (may be empty).
bool create_server(SimKind kind, const std::filesystem::path& db, const std::string& extraSql = "");
/// The bare schema (no rows, no configurable fields), then `sql`.
bool create_server_sql(SimKind kind, const std::filesystem::path& db, const std::string& sql);
/// Synthetic data from `params`, then `extraSql` (may be empty).
bool create_server_generated(SimKind kind, const std::filesystem::path& db,
                             const SimGenParams& params, const std::string& extraSql = "");

/// SQL that appends configurable field `number` (from 1, in order) named `name` to the
/// DefectView ("defect") or FeatureView ("feature") and its configuration line.
std::string config_field_sql(const std::string& recordKind, int number, const std::string& name);

/// The environment for RunOptions::setEnv: the family variable naming `db`, and SIM_LOG
/// when `log` is given.
std::map<std::string, std::string> sim_env(SimKind kind, const std::filesystem::path& db,
                                           const std::filesystem::path& log = {});

/// The lines of `text` (a client's answer), without their line ends.
std::vector<std::string> lines_of(const std::string& text);

/// The lines of a SIM_LOG file, without their line ends; empty when there is no file.
std::vector<std::string> read_sim_log(const std::filesystem::path& log);

}  // namespace e2e
