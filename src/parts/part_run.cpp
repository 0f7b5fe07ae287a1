// What the part loop is made of: the part's console, the end of a part's element with
// its check, the scratch names a run uses, and the summary of a selection.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "output_file.h"
#include "part_series.h"

void PartConsole::out(std::string_view text) {
    run_.out(text);
    if (!firstError_.empty()) return;
    const std::size_t at = text.find("ERROR:");
    if (at == std::string_view::npos) return;
    std::string_view rest = text.substr(at + 6);
    rest = rest.substr(0, rest.find('\n'));
    const std::size_t first = rest.find_first_not_of(" \t");
    if (first == std::string_view::npos) return;
    rest = rest.substr(first, rest.find_last_not_of(" \t") + 1 - first);
    firstError_ = rest;
}

void PartConsole::begin_part() {
    firstError_.clear();
    reason_.clear();
}

std::string PartConsole::reason() const {
    return !reason_.empty() ? reason_ : !firstError_.empty() ? firstError_ : "failed";
}

int PartRun::history_loaded(const std::string& partPath) {
    if (!verifier) return run_history_steps(steps);
    verifier->verify_part(partPath, model);
    return 0;
}

int PartRun::end_part() {
    if (writer.element_open()) {
        // Never a silently wrong element: it is read back and checked before it ends.
        std::string unchecked;
        const std::vector<std::string> problems =
            checker.check_written(writer.element_text(), writer.pending_type_declarations(), model, &unchecked);
        const std::string path(model.roles().partPath(model.revisions().front()));
        report_unchecked(console, path, unchecked);
        if (!problems.empty()) {
            console.print("\n\nERROR:  Lineage check failed for Part %s:\n", path.c_str());
            constexpr std::size_t kShown = 5;
            for (std::size_t i = 0; i < problems.size() && i < kShown; ++i)
                console.print("    %s\n", problems[i].c_str());
            if (problems.size() > kShown) console.print("    and %zu more\n", problems.size() - kShown);
            console.set_reason("lineage check failed: " + problems.front());
            return -1;
        }
        if (int rc = writer.write_element_end(); rc != 0) return rc;
    }
    return model.release_history(false);
}

std::string clashing_scratch_file(const PartHistoryPath& path, int jobs, const std::string& output) {
    const std::filesystem::path target(output);
    const bool here = !target.has_parent_path() || same_file(target.parent_path().string(), ".");
    // Letter case is ignored: where file names keep it, refusing one more name is harmless.
    auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    const std::string name = lower(target.filename().string());
    // Two sets of places: one batch's reports run while the batch before is exported.
    const std::size_t slots = 2 * kPartsBatch * static_cast<std::size_t>(std::max(jobs, 1));
    for (std::size_t slot = 0; slot < slots; ++slot)
        for (const std::string& file : path.scratch_files(slot))
            if ((here && name == lower(file)) || same_file(output, file)) return file;
    return {};
}

SelectionSummary summarize_selection(std::istream& raw, const PartHistoryPath& path) {
    SelectionSummary summary;
    std::set<std::string> seen;
    std::string current, line;
    while (read_line(raw, line)) {
        ++summary.lines;
        std::string part = path.part_of(line);
        if (part.empty()) continue;
        ++summary.rows;
        if (part != current) {
            ++summary.parts;
            current = std::move(part);
        }
        std::string release = path.release_of(line);
        if (seen.insert(release).second) summary.releases.push_back(std::move(release));
    }
    return summary;
}
