// Making, checking, keeping and removing the journal of an export.
#include "resume.h"

#include <filesystem>

namespace {

constexpr const char* kJournalTag = "ferrox-journal";

const char* export_option(ExportKind kind) {
    switch (kind) {
        case ExportKind::Defects: return "-defects";
        case ExportKind::Features: return "-features";
        case ExportKind::Users: return "-users";
        case ExportKind::Parts: return "-parts";
        case ExportKind::None: break;
    }
    return "";
}

const char* on_off(bool flag) { return flag ? "on" : "off"; }

/// "NAME was "A", now "B"" for the first pair that differs, or "".
std::string difference(const std::vector<std::string>& earlier, const std::vector<std::string>& now) {
    for (std::size_t i = 0; i + 1 < now.size(); i += 2) {
        if (i + 1 >= earlier.size() || earlier[i] != now[i]) return "it was written by another version of ferrox";
        if (earlier[i + 1] == now[i + 1]) continue;
        const std::string& name = now[i];
        if (name.ends_with(" contents"))
            return "the file of " + name.substr(0, name.size() - 9) + " has changed since";
        return name + " was \"" + earlier[i + 1] + "\", now \"" + now[i + 1] + "\"";
    }
    return earlier.size() == now.size() ? "" : "it was written by another version of ferrox";
}

}  // namespace

std::vector<std::pair<std::string, std::string>> describe_run(const RunSettings& settings,
                                                              const std::string& familyVariable,
                                                              const std::string& familyValue) {
    std::vector<std::pair<std::string, std::string>> run = {
        {"server", settings.corvane() ? "Corvane" : "Vandor"},
        {familyVariable, familyValue},
        {"export", export_option(settings.exportKind)},
        {"-o", settings.outputFileName},
        {"-map", settings.mapValues != 0 ? "-map" : "-nomap"},
        {"-crlf", on_off(settings.crlf)},
        {"-target", settings.targetNT ? "NT" : "UNIX"},
        {"-workareas", on_off(settings.workAreas)},
        {"-revisionlabels", on_off(settings.revisionLabels)},
        {"-sidlabels", on_off(settings.sidLabels)},
        {"-componentlabels", on_off(settings.componentLabels)},
        {"-committedFile", settings.committedFile},
        {"-where", settings.whereClause},
        {"-release", settings.releaseName},
        {"-since", settings.sinceDate},
    };
    for (const auto& [option, file] : {std::pair<const char*, const std::string*>{"-infile", &settings.inFile},
                                       {"-partspec", &settings.partSpecFile},
                                       {"-relspec", &settings.relSpecFile},
                                       {"-valuemap", &settings.valueMapFile},
                                       {"-usermap", &settings.userMapFile}}) {
        run.emplace_back(option, *file);
        run.emplace_back(std::string(option) + " contents", file->empty() ? "" : file_digest(*file));
    }
    return run;
}

bool open_journal(Console& console, const RunSettings& settings, const std::string& familyVariable,
                  const std::string& familyValue, Journal& journal) {
    std::vector<std::string> run;
    for (auto& [name, value] : describe_run(settings, familyVariable, familyValue)) {
        run.push_back(std::move(name));
        run.push_back(std::move(value));
    }
    std::string why;
    if (!settings.resume) {
        std::error_code ec;
        if (std::filesystem::exists(kJournalFile, ec))
            console.print("\nThe journal %s of an earlier run that did not finish is discarded: this run starts "
                          "afresh (-resume goes on from it)\n",
                          kJournalFile);
        if (!journal.create(kJournalFile, kJournalTag, run, why))
            console.print("\nWARNING: The journal %s: %s; this run cannot be resumed\n", kJournalFile, why.c_str());
        return true;
    }
    std::optional<JournalContents> earlier = Journal::read(kJournalFile);
    if (!earlier) {
        console.print("\n\nERROR:  -resume: there is no journal %s of an earlier run in this folder; run the "
                      "command without -resume\n\n",
                      kJournalFile);
        return false;
    }
    const std::string changed = earlier->entries.front().tag != kJournalTag ? "it is no journal of ferrox"
                                                                            : difference(earlier->first, run);
    if (!changed.empty()) {
        console.print("\n\nERROR:  -resume: the journal %s is of another run: %s\n\n", kJournalFile, changed.c_str());
        return false;
    }
    if (!journal.resume(kJournalFile, std::move(*earlier), why)) {
        console.print("\n\nERROR:  -resume: the journal %s: %s\n\n", kJournalFile, why.c_str());
        return false;
    }
    console.print("\nResuming the export of the journal %s: what it holds is not fetched again\n", kJournalFile);
    return true;
}

void close_journal(Console& console, Journal& journal, int status) {
    const bool done = status == 0 && !journal.kept();
    const bool wasOpen = journal.is_open();
    const bool cut = journal.failed();  // a write failed: the entries after it are missing
    journal.close(done);
    if (done || !wasOpen) return;
    console.print("\nThe journal %s is kept: the same command with -resume fetches only what this run did not "
                  "finish\n",
                  kJournalFile);
    if (cut)
        console.print("WARNING: The journal could not be written to its end: -resume fetches again what it lacks\n");
}
