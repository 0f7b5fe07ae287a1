// run_history_steps on one part of 1,000 / 10,000 / 100,000 revisions with a
// branching history; the time per revision must stay flat as the part grows.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "element_writer.h"
#include "history_model.h"
#include "lookups.h"
#include "revision_tree.h"

namespace {

/// One generated history, rows ready to be appended (the retrieval path's work).
struct History {
    std::vector<RevisionRecord> revisions;          // newest first, as RevisionView lists them
    std::vector<PartFullViewRecord> partRows;
    std::vector<VersionRecord> versions;            // oldest first, as the versions report lists them
    std::vector<CommittedVersionRecord> committed;
};

std::string date_of(std::int64_t i) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", static_cast<int>(2000 + i / 483840),
                  static_cast<int>((i / 40320) % 12 + 1), static_cast<int>((i / 1440) % 28 + 1),
                  static_cast<int>((i / 60) % 24), static_cast<int>(i % 60), 0);
    return text;
}

/// A main line with branches: one version in eight starts a branch off a recent main
/// line version, branches run a few versions and sometimes fork again; about a third
/// of the versions lie in one of twenty releases, some in two.
History generate(int count) {
    std::uint64_t seed = 12345;
    auto next = [&seed](std::uint64_t bound) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return (seed >> 33) % bound;
    };
    std::vector<int> parent(count, -1);
    std::vector<int> mainLine;
    int branchTip = -1;
    int branchLeft = 0;
    for (int i = 0; i < count; ++i) {
        if (i == 0) {
            mainLine.push_back(0);
            continue;
        }
        if (branchLeft > 0 && branchTip >= 0) {
            parent[i] = branchTip;
            branchTip = i;
            --branchLeft;
            if (next(10) == 0) branchTip = parent[i];  // a fork within the branch
            continue;
        }
        if (next(8) == 0) {
            std::size_t back = std::min<std::size_t>(mainLine.size(), 50);
            parent[i] = mainLine[mainLine.size() - 1 - next(back)];
            branchTip = i;
            branchLeft = static_cast<int>(next(6));
            continue;
        }
        parent[i] = mainLine.back();
        mainLine.push_back(i);
    }

    History h;
    for (int i = 0; i < count; ++i) {
        std::string id = std::to_string(i + 1);
        std::string previous = parent[i] < 0 ? "0" : std::to_string(parent[i] + 1);
        h.versions.push_back({"lib/deep/dir/file.c", "1." + id, id, previous, date_of(i)});
        bool inRelease = next(3) == 0;
        for (int row = 0; inRelease && row < (next(5) == 0 ? 2 : 1); ++row) {
            std::string release = "R" + std::to_string(next(20));
            PartFullViewRecord p{"src/deep/dir/file.c", release, next(4) == 0 ? "wa" : "", "joe",
                                 "r" + id, date_of(i), "0644", "s" + id};
            h.partRows.push_back(p);
            CommittedVersionRecord c;
            c.pathname = "lib/deep/dir/file.c";
            c.releasename = release;
            c.sid = "1." + id;
            c.versionid = id;
            c.levelname = "prod";
            c.fmode = "644";
            h.committed.push_back(c);
        }
    }
    for (int i = count - 1; i >= 0; --i) {
        std::string id = std::to_string(i + 1);
        h.revisions.push_back({"src/deep/dir/file.c", date_of(i), "r" + id,
                               parent[i] < 0 ? "" : "r" + std::to_string(parent[i] + 1), "", "s" + id});
    }
    return h;
}

const History& history(int count) {
    static std::vector<std::pair<int, History>> made;
    for (const auto& [n, h] : made)
        if (n == count) return h;
    made.emplace_back(count, generate(count));
    return made.back().second;
}

void load(HistoryModel& model, const History& h) {
    model.release_history(false);  // the part before: the steps leave its lists to their caller
    if (model.kind() == ServerKind::Corvane) {
        for (const auto& row : h.partRows) model.append_part_row(row);
        for (const auto& row : h.revisions) model.append_revision(row);
    } else {
        for (const auto& row : h.committed) model.append_part_row(row);
        for (const auto& row : h.versions) model.append_revision(row);
    }
}

/// Takes the versions without writing them, to time the steps alone.
class CountingSink : public VersionSink {
public:
    bool globals_written() const override { return true; }
    int write_globals() override { return 0; }
    int write_element_header(const OrderedEntry&) override { return 0; }
    int write_version_block(const OrderedEntry& entry) override {
        versions += 1 + static_cast<std::int64_t>(entry.labels.size());
        return 0;
    }
    std::int64_t versions = 0;
};

/// Answers every release lookup of a branch point without a server.
class AnswerShell : public Shell {
public:
    CallResult run(const std::string&) override {
        std::ofstream(kReleaseScratchFile) << "R1\n";
        return {0, "", false};
    }
    std::unique_ptr<Shell> with_variable(const std::string&, const std::string&) override {
        return std::make_unique<AnswerShell>();
    }
};

/// Between two parts the export runs a server command and reads its answer, so a
/// part never starts with the previous part's data in the processor caches: each
/// timed part starts after a pass over more memory than the caches hold.
void evict_caches(benchmark::State& state) {
    state.PauseTiming();
    // Made while paused: the first timed part must not pay for filling it.
    static std::vector<char> sweep(256u << 20);
    for (std::size_t i = 0; i < sweep.size(); i += 64) sweep[i] = static_cast<char>(sweep[i] + 1);
    benchmark::DoNotOptimize(sweep.data());
    state.ResumeTiming();
}

void report(benchmark::State& state, int count) {
    state.SetItemsProcessed(state.iterations() * count);
    // Seconds per revision: the figure that must stay flat as the part grows.
    state.counters["per_revision"] = benchmark::Counter(
        count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_HistorySteps(benchmark::State& state, ServerKind kind) {
    int count = static_cast<int>(state.range(0));
    const History& h = history(count);
    RunSettings settings;
    settings.serverKind = kind;
    BufferConsole console;
    // One model for the run, as the export keeps it: each part reuses its lists.
    HistoryModel model(kind);
    // One untimed part first, so that every size is timed with its memory in use
    // already, as for the second and later parts of an export.
    {
        CountingSink sink;
        HistorySteps steps{model, settings, console, sink};
        load(model, h);
        run_history_steps(steps);
    }
    for (auto _ : state) {
        evict_caches(state);
        CountingSink sink;
        HistorySteps steps{model, settings, console, sink};
        load(model, h);
        if (run_history_steps(steps) != 0) state.SkipWithError("history steps failed");
        benchmark::DoNotOptimize(sink.versions);
        console.outText.clear();
    }
    report(state, count);
}

/// The whole part as the export does it: steps, element writer, scratch files.
void BM_HistoryStepsWithWriter(benchmark::State& state) {
    int count = static_cast<int>(state.range(0));
    const History& h = history(count);
    namespace fs = std::filesystem;
    fs::path previous = fs::current_path();
    // Scratch files in memory where the system has such a folder: the lookups create
    // and remove a file per branch point, and a disk's inode search is not ours.
    fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path dir = base / "ferrox_history_bench";
    fs::create_directories(dir);
    fs::current_path(dir);
    RunSettings settings;
    settings.serverKind = ServerKind::Vandor;
    ExportIdentity identity{"joe", "joe", "dev", "box"};
    BufferConsole console;
    AnswerShell shell;
    HistoryModel model(ServerKind::Vandor);
    ScratchFiles scratch;
    RunContext ctx{settings, console, shell, scratch};
    auto export_part = [&]() {
        model.release_history(true);
        ElementWriter writer(ctx, identity, model);
        HistorySteps steps{model, settings, console, writer, &ctx};
        load(model, h);
        bool ok = run_history_steps(steps) == 0 && writer.write_element_end() == 0 &&
                  writer.combine_export_files() == 0;
        console.outText.clear();
        return ok;
    };
    export_part();  // untimed, as in BM_HistorySteps
    for (auto _ : state) {
        evict_caches(state);
        if (!export_part()) state.SkipWithError("export failed");
    }
    fs::current_path(previous);
    fs::remove_all(dir);
    report(state, count);
}

/// The export-wide registry of declared names (directories and label types): every
/// version registers its labels, so a run with a million names must stay flat.
void BM_RegisterDeclaredNames(benchmark::State& state) {
    int count = static_cast<int>(state.range(0));
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back("CVN-RELEASE-R" + std::to_string(i));
    for (auto _ : state) {
        HistoryModel model(ServerKind::Corvane);
        int fresh = 0;
        for (const std::string& name : names) fresh += model.register_declared_name(name) == 0;
        for (const std::string& name : names) fresh += model.register_declared_name(name) == 0;  // all known
        benchmark::DoNotOptimize(fresh);
    }
    report(state, count);
}

}  // namespace

BENCHMARK(BM_RegisterDeclaredNames)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HistorySteps, corvane, ServerKind::Corvane)
    ->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HistorySteps, vandor, ServerKind::Vandor)
    ->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryStepsWithWriter)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
