// Reads the release and part specification files and gathers the part list answers.
#include "selection.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "fields.h"
#include "part_queries.h"

namespace fs = std::filesystem;

int read_release_spec(RunContext& ctx, std::vector<std::string>& names) {
    const std::string& file = ctx.settings.relSpecFile;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        ctx.console.print("\n\nERROR:  No Release Specification File Found: %s \n\n", file.c_str());
        return -1;
    }
    names.clear();
    std::string line, name;
    while (read_line(in, line)) {
        read_field(line, name);
        if (!name.empty()) names.push_back(name);
    }
    return 0;
}

std::string release_in_list(const std::vector<std::string>& names) {
    std::string list = "(";
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) list += ",";
        list += sql_quoted(names[i]);
    }
    return list + ")";
}

int build_release_list(RunContext& ctx, std::string& releaseInList) {
    std::vector<std::string> names;
    if (int rc = read_release_spec(ctx, names); rc != 0) return rc;
    releaseInList = release_in_list(names);
    return 0;
}

bool is_wildcard_entry(std::string_view entry) {
    if (entry.find('%') != std::string_view::npos) return true;
    return entry.find("escape") != std::string_view::npos &&
           entry.find('_') != std::string_view::npos;
}

void add_to_part_list(PartInList& list, std::string_view name, bool close) {
    if (close) {
        if (!list.text.empty()) list.text += ")";
        list.nameAdded = false;
        return;
    }
    if (list.text.empty()) list.text = "(";
    if (name.empty()) return;
    if (list.nameAdded) list.text += ",";
    list.text += sql_quoted(std::string(name));
    list.nameAdded = true;
}

namespace {

/// True when `file` ends in a character other than a line end: a row appended to it
/// would be glued to its last row.
bool ends_inside_a_line(const std::string& file) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in || in.tellg() <= 0) return false;
    in.seekg(-1, std::ios::end);
    char last = '\n';
    in.get(last);
    return last != '\n';
}

}  // namespace

int append_raw_file(RunContext& ctx, std::string& target, const std::string& scratchFile) {
    if (target.empty()) {
        // The first answer starts the file: nothing of an earlier run may stay in it.
        target = kRawPartFile;
        if (!ctx.scratch.prepare(ctx.console, target)) return -1;
    }
    std::error_code ec;
    const auto size = fs::file_size(scratchFile, ec);
    if (ec || size == 0) {
        ctx.scratch.remove(scratchFile);
        return 0;
    }
    std::ifstream in(scratchFile, std::ios::binary);
    if (!in) {
        ctx.console.print("\n\nERROR:\t Can't open temporary work file %s\n\n",
                          scratchFile.c_str());
        return -1;
    }
    const bool needsLineEnd = ends_inside_a_line(target);
    std::ofstream out(target, std::ios::binary | std::ios::app);
    if (!out) {
        ctx.console.print("\n\nCan't Open Export Output File: %s - Exiting\n\n", target.c_str());
        return -1;
    }
    if (needsLineEnd) out << '\n';
    out << in.rdbuf();
    out.flush();
    if (!out) {
        ctx.console.print("\n\nERROR:  Can't append %s to %s\n\n", scratchFile.c_str(),
                          target.c_str());
        return -1;
    }
    in.close();
    ctx.scratch.remove(scratchFile);
    return 0;
}

namespace {

/// The part specification selection under way: the batch being gathered and where
/// its answers go.
struct Selection {
    RunContext& ctx;
    const std::string& releaseInList;
    std::string& rawFile;
    PartInList batch;
    int entries = 0;  // entries read since the last batch, like patterns included

    /// Sends the gathered names, if any, as one batch query. The first answer starts
    /// the raw part file; later ones are appended to it.
    int send_batch() {
        add_to_part_list(batch, "", true);
        const std::optional<PartQuery> query =
            compose_batch_query(ctx.settings, releaseInList, batch.text);
        batch = {};
        entries = 0;
        if (!query) return 0;
        if (rawFile.empty())
            return run_part_query(ctx, releaseInList, rawFile, &*query) < 0 ? -1 : 0;
        std::string scratch = kBatchScratchFile;
        if (run_part_query(ctx, releaseInList, scratch, &*query) < 0) return -1;
        return append_raw_file(ctx, rawFile, scratch);
    }

    int send_pattern(const std::string& entry) {
        ctx.console.print("\nWildcard Character Found in Part Specifications File\n");
        if (run_wildcard_query(ctx, releaseInList, entry, kWildcardScratchFile) != 0) {
            ctx.console.print("\n\nERROR:  Can't generate the wildcard raw file \n\n");
            return -1;
        }
        return append_raw_file(ctx, rawFile, kWildcardScratchFile);
    }
};

}  // namespace

int select_parts(RunContext& ctx, const std::string& releaseInList, std::string& rawFile) {
    const RunSettings& settings = ctx.settings;
    std::ifstream spec(settings.partSpecFile, std::ios::binary);
    if (!spec) {
        ctx.console.print("\n\nERROR:\tNo Part Specification File Found: %s \n\n",
                          settings.partSpecFile.c_str());
        return -1;
    }
    Selection selection{ctx, releaseInList, rawFile, {}, 0};
    const long batchLines = std::max(1, settings.partIndex);
    std::string line, entry;
    // Blank lines count towards a batch's lines too: batches follow the file's lines.
    for (long lines = 0; read_line(spec, line); ++lines) {
        if (lines > 0 && lines % batchLines == 0 && selection.send_batch() != 0) return -1;
        read_field(line, entry);
        if (entry.empty()) continue;
        ++selection.entries;
        if (is_wildcard_entry(entry)) {
            if (selection.send_pattern(entry) != 0) return -1;
        } else {
            add_to_part_list(selection.batch, entry, false);
        }
    }
    if (selection.entries > 0 && selection.send_batch() != 0) return -1;
    return 0;
}
