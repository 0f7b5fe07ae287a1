// The fault sweep: every export of both server kinds run once per server command k while
// the k-th command fails, answers half and fails, or is killed mid-answer (SIM_FAULT).
// Whatever k, the run must end with a status, fail whenever something asked for is
// missing and name it, leave every output file whole or absent, take no file of an
// earlier step for fresh data, and let the next run in the same folder succeed. An export
// with -jobs is held to the same export at -jobs 1: its console, its files, its calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "e2e_support.h"

namespace {

namespace fs = std::filesystem;
using e2e::SimKind;

struct SweepCase {
    const char* name;
    SimKind kind;
    std::vector<std::string> args;
    std::vector<std::string> outputs;  // the files the export writes, the import file first
    int sample = 0;                    // 0: every command; else about this many of a generated server's
    e2e::SimGenParams generated = {};
};

void PrintTo(const SweepCase& c, std::ostream* out) { *out << c.name; }

// Scratch files of every step, left by an earlier run with what no server answers: an
// export that took one for fresh data would carry the marker into its output.
constexpr const char* kStale = "STALE|stale|STALE|stale|STALE\n";
const char* const kSeeds[] = {
    "defectRawFile000.raw", "featureRawFile000.raw", "userRawFile000.raw", "defectConfigFile000.raw",
    "featureConfigFile000.raw", "revTmpFile000.out", "revTmpFile001.out", "tmpsid000.raw", "tmprel000.raw",
    "labelstmpfile000.tmp", "dirstmpfile000.tmp", "versionstmpfile000.tmp", "defect1001.out",
    "defect1002.out", "defect1000.out", "feature5001.out", "feature5000.out"};

struct Outcome {
    e2e::RunResult result;
    std::map<std::string, std::string> outputs;  // the output files that exist
    std::set<std::string> left;                  // every file in the folder but the raw part backup
    std::vector<std::string> log;  // the server commands, as the client received them
    std::vector<std::string> unfinished;  // the parts and records the run lists as not done
};

/// One run of the export (with `more` words after its own); with `blocks` (0 or more), under a
/// file size limit of that many 512-byte blocks with SIGXFSZ ignored, so that every write past
/// it fails as on a full disk.
Outcome run_in(const e2e::ServerRun& run, const SweepCase& c, const std::string& fault, int blocks = -1,
               std::vector<std::string> more = {}) {
    const fs::path log = run.work().parent_path() / (run.work().filename().string() + ".log");
    fs::remove(log);
    std::map<std::string, std::string> env{{"SIM_LOG", log.string()}};
    if (!fault.empty()) env["SIM_FAULT"] = fault;
    more.insert(more.begin(), c.args.begin(), c.args.end());
    // The console and the status go through a pipe, out of the limit's reach.
    std::vector<std::string> words = {"-c", "(trap '' XFSZ; ulimit -f " + std::to_string(blocks) +
                                                "; \"$0\" \"$@\" 2>&1; echo \" status=$?\") | cat",
                                      run.program()};
    words.insert(words.end(), more.begin(), more.end());
    Outcome o;
    o.result = blocks >= 0 ? e2e::run_program("/bin/sh", words, run.options(env)) : run.run(more, env);
    if (const std::size_t at = o.result.out.rfind(" status="); blocks >= 0 && at != std::string::npos) {
        o.result.status = std::stoi(o.result.out.substr(at + 8));
        o.result.out.resize(at);
    }
    // A seed left as it was is no file of this run's; one it wrote and left is.
    for (const std::string& name : run.files_left())
        if (name != "partsRawFile000.raw0" && run.output(name) != kStale) o.left.insert(name);
    for (const std::string& name : c.outputs)
        if (fs::exists(run.work() / name)) o.outputs[name] = run.output(name);
    o.log = e2e::lines_of(e2e::read_text(log));
    fs::remove(log);
    for (const char* list : {"failedParts.raw", "notesNotFetched.txt"})
        for (const std::string& line : e2e::lines_of(run.output(list))) o.unfinished.push_back(line.substr(0, line.find('|')));
    return o;
}

/// `c` at -jobs 1: the reference every -jobs run is held to.
SweepCase one_job(SweepCase c) {
    const auto jobs = std::find(c.args.begin(), c.args.end(), "-jobs");
    if (jobs != c.args.end()) *std::next(jobs) = "1";
    return c;
}

/// The reference run of `c` at -jobs 1 (after `reset`); a clean run at c's own -jobs must
/// leave its console and files, and make its calls but for their order.
Outcome reference_run(const e2e::ServerRun& run, const SweepCase& c, const std::function<void()>& reset) {
    reset();
    Outcome reference = run_in(run, one_job(c), "");
    if (one_job(c).args == c.args) return reference;
    reset();
    Outcome jobs = run_in(run, c, "");
    EXPECT_EQ(jobs.result.out, reference.result.out);
    EXPECT_TRUE(jobs.outputs == reference.outputs && jobs.left == reference.left);
    std::vector<std::string> calls = reference.log;
    std::sort(calls.begin(), calls.end());
    std::sort(jobs.log.begin(), jobs.log.end());
    EXPECT_EQ(jobs.log, calls);
    return reference;
}

/// Why the calls of a failed run and of the run that resumed it are not the clean run's,
/// each made once, but for the calls of what the failed run left unfinished (the k-th
/// call, calls naming a part or record it lists) and one more connection test; or "".
std::string repeated(const Outcome& clean, const Outcome& failed, const Outcome& resumed, std::size_t k) {
    std::map<std::string, int> count;
    for (const std::string& call : failed.log) ++count[call];
    for (const std::string& call : resumed.log) ++count[call];
    for (const std::string& call : clean.log) --count[call];
    int tests = 0;
    for (const auto& [call, extra] : count) {
        if (extra < 0) return "never made: " + call;
        if (extra == 0 || call == failed.log[k - 1]) continue;
        if (call.ends_with("-testServer") && (tests += extra) == 1) continue;
        const bool unfinished = std::any_of(failed.unfinished.begin(), failed.unfinished.end(), [&](const auto& name) {
            return call.find("'" + name + "'") != std::string::npos || call.find(" " + name + " ") != std::string::npos;
        });
        if (!unfinished) return "repeated: " + call;
    }
    return "";
}

/// The ELEMENT blocks of an element import file by the part path of their Name line.
std::map<std::string, std::string> elements(const std::string& text) {
    std::map<std::string, std::string> blocks;
    for (std::size_t at = 0; (at = text.find("ELEMENT_BEGIN\nName ", at)) != std::string::npos;) {
        const std::size_t end = text.find("ELEMENT_END\n", at);
        const std::size_t name = text.find(':', at) + 1;
        blocks[text.substr(name, text.find('\n', name) - name)] = text.substr(at, end - at);
        at = end;
    }
    return blocks;
}

bool names_a_failure(const std::string& console) {
    return console.find("ERROR") != std::string::npos || console.find("Unsuccessful") != std::string::npos ||
           console.find("connection established") != std::string::npos;
}

/// Why an import file of a run that succeeded is not the reference's, where only a note
/// the server could not deliver, named on the console, may be the placeholder; or "".
std::string incomplete(const std::string& name, const std::string& got, const std::string& reference,
                       const std::string& console) {
    if (!name.ends_with("Export.txt") || name == "usersExport.txt" || name == "partsExport.txt")
        return got == reference ? "" : name + " differs";
    const auto rows = e2e::parse_csv(got), expected = e2e::parse_csv(reference);
    if (rows.size() != expected.size() || rows.empty()) return name + " has other records";
    const std::size_t id = rows[0][0] == "old_id" ? 0 : 1;  // the column of the record's name
    for (std::size_t i = 1; i < rows.size(); ++i) {
        std::vector<std::string> placeholder = expected[i];
        placeholder.back() = "Migrated Note";
        const bool named = console.find(" could not be fetched and ") != std::string::npos &&
                           console.find("Not Found for " + std::string(name[0] == 'd' ? "Defect " : "Feature ") +
                                        rows[i][id] + "\n") != std::string::npos;
        if (rows[i] != expected[i] && (rows[i] != placeholder || !named)) return name + " record " + std::to_string(i);
    }
    return "";
}

/// The totals a console ends with: versions and parts written, or records exported.
std::string totals(const std::string& console) {
    static const std::regex total("Total \\w+ Written: +[0-9]+|[0-9]+ \\w+ exported");
    std::string all;
    for (auto at = std::sregex_iterator(console.begin(), console.end(), total); at != std::sregex_iterator(); ++at)
        all += at->str() + "\n";
    return all;
}

/// Why a run whose k-th command was made to fail broke an invariant, or "".
std::string unsound(const Outcome& reference, const Outcome& got, std::size_t k) {
    const std::string& console = got.result.out;
    const bool passed = got.result.status == 0;
    if (!passed && got.result.status != 255) return "status " + std::to_string(got.result.status);
    // The fault happened, and the run said so, unless the call fails anyway: the
    // fixture's defect 1003 has no long view.
    if (got.log.size() < k) return "no command " + std::to_string(k);
    if (passed && console == reference.result.out && !got.log[k - 1].ends_with(" 1003 -long")) return "unnoticed";
    if (passed != (console.find("Export File Name: ") != std::string::npos)) return "closing line";
    if (!passed && !names_a_failure(console)) return "unnamed failure";
    const std::set<std::string> forResume{"partsRawFile000.raw", "ferrox.journal", "failedParts.raw",
                                          "notesNotFetched.txt"};
    for (const std::string& name : got.left)
        if (!reference.left.count(name) && !forResume.count(name)) return "left " + name;
    if (passed && got.outputs.size() != reference.outputs.size()) return "missing output";
    for (const auto& [name, text] : got.outputs) {
        if (text.find("STALE") != std::string::npos) return name + " holds stale data";
        if (passed && !incomplete(name, text, reference.outputs.at(name), console).empty())
            return incomplete(name, text, reference.outputs.at(name), console);
        // Only a parts export keeps its file after a failure: the parts it holds are
        // whole, and every part it lacks is listed with its reason.
        if (passed || name != "partsExport.txt") continue;
        if (!e2e::blocks_balanced(text)) return name + " has open blocks";
        const auto kept = elements(text);
        for (const auto& [part, block] : elements(reference.outputs.at(name)))
            if (kept.count(part) ? kept.at(part) != block : console.find("\n    " + part + ": ") == std::string::npos)
                return "part " + part;
    }
    return "";
}

class FaultSweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(FaultSweep, EveryFaultEndsInAWholeExportOrANamedFailure) {
    const SweepCase& c = GetParam();
    e2e::ServerRun run(c.kind);
    ASSERT_TRUE(c.sample ? run.generated(c.generated) : run.fixture());
    auto seed = [&] {
        for (const auto& entry : fs::directory_iterator(run.work())) fs::remove_all(entry.path());
        for (const char* name : kSeeds) e2e::write_text(run.work() / name, kStale);
    };
    const Outcome reference = reference_run(run, c, seed);
    ASSERT_EQ(reference.result.status, 0) << reference.result.out;
    for (const auto& [name, text] : reference.outputs) EXPECT_EQ(text.find("STALE"), std::string::npos) << name;

    std::set<std::size_t> calls;
    const std::size_t count = reference.log.size();
    for (std::size_t k = 1; k <= count; ++k)
        if (!c.sample || k <= 3 || k == count || k % (count / c.sample + 1) == 0)
            calls.insert(k);
    int faults = 0;
    for (std::size_t k : calls) {
        for (const char* mode : {"fail", "truncate", "kill"}) {
            const std::string fault = std::to_string(k) + ":" + mode;
            SCOPED_TRACE(fault);
            seed();
            const Outcome got = run_in(run, c, fault);
            EXPECT_EQ(unsound(reference, got, k), "") << got.result.out;
            ++faults;
            // The next run in the same folder goes on from the journal the failed run left (a
            // run that never reached the server leaves none, and the next starts afresh): it
            // writes what the reference run wrote, asking only for what was not finished.
            const bool resume = fs::exists(run.work() / "ferrox.journal");
            const Outcome again = run_in(run, c, "", -1, resume ? std::vector<std::string>{"-resume"} : std::vector<std::string>{});
            EXPECT_TRUE(again.result.status == 0 && again.outputs == reference.outputs && again.left == reference.left)
                << again.result.out;
            EXPECT_EQ(totals(again.result.out), totals(reference.result.out));
            EXPECT_EQ(resume ? repeated(reference, got, again, k) : "", "");
        }
    }
    std::printf("%s: %d faults over %zu commands\n", c.name, faults, count);
}

TEST_P(FaultSweep, AFileSizeLimitFailsTheRunAndKeepsTheEarlierFiles) {
    const SweepCase& c = GetParam();
    e2e::ServerRun run(c.kind);
    ASSERT_TRUE(c.sample ? run.generated(c.generated) : run.fixture());
    const Outcome reference = run_in(run, one_job(c), "");
    ASSERT_EQ(reference.result.status, 0) << reference.result.out;
    int failures = 0;
    for (int blocks = 0; failures < 30; blocks = blocks ? 2 * blocks : 1, ++failures) {
        SCOPED_TRACE(blocks);
        for (const auto& entry : fs::directory_iterator(run.work())) fs::remove_all(entry.path());
        for (const std::string& name : c.outputs) e2e::write_text(run.work() / name, "an earlier export\n");
        const Outcome got = run_in(run, c, "", blocks);
        const bool passed = got.result.status == 0;
        for (const std::string& name : c.outputs)
            EXPECT_EQ(got.outputs.at(name), passed ? reference.outputs.at(name) : "an earlier export\n") << name;
        EXPECT_TRUE(passed || (got.result.status == 255 && names_a_failure(got.result.out))) << got.result.out;
        std::set<std::string> left = got.left;  // but what a failed run leaves for a -resume
        for (const char* name : {"ferrox.journal", "failedParts.raw", "notesNotFetched.txt"}) left.erase(name);
        EXPECT_TRUE(std::includes(reference.left.begin(), reference.left.end(), left.begin(), left.end()));
        if (passed) break;
    }
    std::printf("%s: %d runs failed by the file size limit\n", c.name, failures);
}

// An export interrupted while a client answers slowly goes on with -resume: it writes the
// files of a run without the interrupt, never repeats the selection or what was finished,
// and the two runs together make every call of that run.
TEST(Resume, AnInterruptedExportGoesOnWhereItStopped) {
    // The kind, the export, its output, the slow call, the calls both runs may make: besides
    // the connection test, the calls cut short and those of parts not yet exported, and a
    // note that cannot be fetched.
    const std::tuple<SimKind, std::vector<std::string>, std::vector<std::string>, const char*, const char*> cases[] = {
        {SimKind::corvane, {"-defects", "-nomap", "-jobs", "2"}, {"defectsExport.txt"}, "-view 1002 ", "-view 100[23] "},
        {SimKind::corvane, {"-parts", "-release", "R2"}, {"partsExport.txt"}, "RevisionView .*src/main", "RevisionView"},
        {SimKind::vandor, {"-parts", "-release", "R2", "-jobs", "2"}, {"partsExport.txt"}, "versions .*src/main",
         "(committedV|v)ersions"}};
    for (const auto& [kind, args, outputs, slow, again] : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        e2e::ServerRun run(kind);
        ASSERT_TRUE(run.fixture());
        const SweepCase c{"interrupted", kind, args, outputs};
        const Outcome reference = run_in(run, one_job(c), "");
        for (const auto& entry : fs::directory_iterator(run.work())) fs::remove_all(entry.path());
        const fs::path log = run.work().parent_path() / "stopped.log";
        std::vector<std::string> words{"-c", "\"$0\" \"$@\" & p=$!; sleep 1; kill -INT $p; wait $p", run.program()};
        words.insert(words.end(), args.begin(), args.end());
        e2e::run_program("/bin/sh", words,
                         run.options({{"SIM_DELAY", slow}, {"SIM_DELAY_MS", "3000"}, {"SIM_LOG", log.string()}}));
        const Outcome resumed = run_in(run, c, "", -1, {"-resume"});
        EXPECT_TRUE(resumed.result.status == 0 && resumed.outputs == reference.outputs &&
                    resumed.left == reference.left)
            << resumed.result.out;
        // Every call of the reference run is made by one run or the other; the resumed run
        // makes none the reference run does not, nor the selection again.
        std::map<std::string, int> unmade, beyond;
        for (const std::string& call : reference.log) ++unmade[call], --beyond[call];
        std::set<std::string> stopped;
        for (const std::string& call : e2e::lines_of(e2e::read_text(log))) --unmade[call], stopped.insert(call);
        for (const std::string& call : resumed.log) {
            --unmade[call];
            ++beyond[call];
            EXPECT_FALSE(std::regex_search(call, std::regex("-general (PartFullView|Fileview -select pathname)|-view DefectView"))) << call;
            EXPECT_TRUE(!stopped.count(call) || std::regex_search(call, std::regex(std::string("-testServer|") + again)))
                << call;
        }
        for (const auto& [call, n] : unmade) EXPECT_LE(n, 0) << call;
        for (const auto& [call, n] : beyond) EXPECT_LE(n, 0) << call;
    }
}

const SweepCase kCases[] = {
    {"corvane_defects", SimKind::corvane, {"-defects", "-nomap"}, {"defectsExport.txt"}},
    {"corvane_features", SimKind::corvane, {"-features", "-map"}, {"featuresExport.txt"}},
    {"corvane_users", SimKind::corvane, {"-users", "-map"}, {"usersExport.txt"}},
    {"corvane_parts", SimKind::corvane, {"-parts", "-release", "R2"},
     {"partsExport.txt", "SavedLabelsFile.txt", "SavedDirsFile.txt"}},
    {"vandor_defects", SimKind::vandor, {"-defects", "-map"}, {"defectsExport.txt"}},
    {"vandor_features", SimKind::vandor, {"-features", "-nomap"}, {"featuresExport.txt"}},
    {"vandor_users", SimKind::vandor, {"-users", "-map"}, {"usersExport.txt"}},
    {"corvane_defects_generated", SimKind::corvane, {"-defects", "-map", "-jobs", "3"}, {"defectsExport.txt"}, 8,
     {.defects = 30, .noteSize = 300, .noteSizes = {}}},
    {"vandor_features_generated", SimKind::vandor, {"-features", "-nomap", "-jobs", "2"}, {"featuresExport.txt"},
     8, {.features = 30, .noteSize = 300, .noteSizes = {}}},
    {"corvane_parts_generated", SimKind::corvane, {"-parts", "-release", "R1"},
     {"partsExport.txt", "SavedLabelsFile.txt", "SavedDirsFile.txt"}, 8, {.parts = 25, .noteSizes = {}}},
};

INSTANTIATE_TEST_SUITE_P(Exports, FaultSweep, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
