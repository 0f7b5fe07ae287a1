// libFuzzer targets for every reader of outside text, one table entry each, picked by the
// program's invocation name ("fuzz_<entry>"; any other name lists the entries). A failed
// property aborts, so libFuzzer keeps the input. File targets write fixed names in the
// current folder: run them from an empty one, as scripts/fuzz.sh does.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "csv_records.h"
#include "defect_file.h"
#include "element_reader.h"
#include "feature_file.h"
#include "field_info.h"
#include "fields.h"
#include "history_model.h"
#include "label_commands.h"
#include "options.h"
#include "platform.h"
#include "record_notes.h"
#include "revision_tree.h"
#include "selection.h"
#include "shell_quoting.h"
#include "tagged_lines.h"
#include "users.h"

#define CHECK(condition) check(condition, #condition, __LINE__)

namespace {

using Words = std::vector<std::string>;
constexpr auto npos = std::string_view::npos;

void check(bool holds, const char* property, int line) {
    if (holds) return;
    std::fprintf(stderr, "property failed: %s (line %d)\n", property, line);
    std::abort();
}

Words split_at(std::string_view text, char separator) {
    Words pieces(1);
    for (char c : text) c == separator ? pieces.emplace_back() : pieces.back() += c;
    return pieces;
}

/// The lines of a text: split at line feeds, a CR before one dropped (and one ending the
/// text when `unendedCr`); no line after a last line feed.
Words lines_of(std::string_view text, bool unendedCr) {
    Words lines = split_at(text, '\n');
    if (lines.back().empty()) lines.pop_back();
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].ends_with('\r') && (i + 1 < lines.size() || text.ends_with('\n') || unendedCr))
            lines[i].pop_back();
    return lines;
}

/// The "|" fields of the first line, each without its leading blanks.
Words bar_fields(std::string_view text) {
    Words fields = split_at(text.substr(0, text.find('\n')), '|');
    for (std::string& f : fields) f.erase(0, std::min(f.find_first_not_of(' '), f.size()));
    return fields;
}

std::string at(const Words& words, std::size_t i) { return i < words.size() ? words[i] : ""; }

Words one_record(std::string_view text) {
    const auto records = test_folder::csv_records(text);
    CHECK(records && records->size() == 1);
    return records->front();
}

/// The names of an SQL in-list "('a','b''c')", or nothing when it does not split back.
std::optional<Words> sql_names(std::string_view list) {
    if (!list.starts_with('(') || !list.ends_with(')')) return std::nullopt;
    Words names;
    for (std::size_t i = 1; i + 1 < list.size(); i += 2) {
        if (list[i] != '\'') return std::nullopt;
        std::string name;
        for (++i; i + 1 < list.size() && (list[i] != '\'' || list[i + 1] == '\''); ++i)
            name += list[list[i] == '\'' ? i++ : i];
        if (i + 1 >= list.size() || list[i + 1] != (i + 2 == list.size() ? ')' : ','))
            return std::nullopt;
        names.push_back(name);
    }
    return names;
}

/// The words sh makes of `text`; nothing when it would expand, glob, redirect, start a
/// comment or run anything, or when it holds a NUL (arguments are C strings).
std::optional<Words> sh_words(std::string_view text) {
    if (text.find('\0') != npos) return std::nullopt;
    Words words;
    std::optional<std::string> word;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (word) words.push_back(*std::exchange(word, std::nullopt));
            continue;
        }
        if (!word && (c == '#' || c == '~')) return std::nullopt;
        word = word.value_or("");
        if (c == '\\') {  // the next character as it is; with a line feed both vanish
            if (++i == text.size()) return std::nullopt;
            if (text[i] != '\n') *word += text[i];
        } else if (c == '\'') {
            const std::size_t end = text.find('\'', i + 1);
            if (end == npos) return std::nullopt;
            *word += text.substr(i + 1, end - i - 1);
            i = end;
        } else if (c == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '$' || text[i] == '`') return std::nullopt;
                const bool escape = text.substr(i + 1, 1).find_first_of("$`\"\\\n") == 0;
                if (text[i] == '\\' && escape && text[++i] == '\n') continue;
                *word += text[i];
            }
            if (i == text.size()) return std::nullopt;
        } else if (std::string_view("|&;<>()$`*?[{}").find(c) != npos) {
            return std::nullopt;
        } else {
            *word += c;
        }
    }
    if (word) words.push_back(*word);
    return words;
}

/// The one argument a program gets when cmd.exe runs `text` (from a batch file, where "%%"
/// is one "%", or as a command line) and the C runtime splits what cmd passes on; nothing
/// when cmd would act on a character or the program would see another argument.
std::optional<std::string> cmd_argument(std::string_view text, bool batchFile) {
    if (text.find('\0') != npos) return std::nullopt;
    std::string line;  // after cmd's "%" pass (blind to quotes and carets) and its CR removal
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t nextPercent = text.find('%', i + 1);
        if (text[i] == '%' && batchFile && text.substr(i, 2) != "%%") return std::nullopt;
        // A command line keeps "%", but "%NAME%" expands: a quote or caret must break it.
        if (text[i] == '%' && !batchFile && nextPercent != npos &&
            text.substr(i, nextPercent - i).find_first_of("\"^") == npos)
            return std::nullopt;
        if (text[i] != '\r') line += text[i];
        i += text[i] == '%' && batchFile;
    }
    std::string passed;  // what cmd passes on
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '^' && !quoted) {
            if (++i == line.size()) return std::nullopt;
        } else if (line[i] == '"') {
            quoted = !quoted;
        } else if (!quoted && std::string_view("&|<>()").find(line[i]) != npos) {
            return std::nullopt;
        }
        passed += line[i];
    }
    if (quoted) return std::nullopt;
    std::string argument;
    for (std::size_t i = 0; i <= passed.size(); ++i) {
        std::size_t backslashes = 0;
        for (; i < passed.size() && passed[i] == '\\'; ++i) ++backslashes;
        const bool quote = i < passed.size() && passed[i] == '"';
        argument.append(quote ? backslashes / 2 : backslashes, '\\');
        if (quote && backslashes % 2 == 0) {
            if (quoted && passed.substr(i, 2) == "\"\"")
                argument += passed[++i];
            else
                quoted = !quoted;
        } else if (i < passed.size()) {
            if (!quoted && (passed[i] == ' ' || passed[i] == '\t')) return std::nullopt;
            argument += passed[i];
        }
    }
    return argument;
}

void write_file(const char* name, std::string_view text) {
    std::ofstream(name, std::ios::binary) << text;
}

std::string read_file(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

/// A client that answers every command with success and writes nothing.
struct SilentServer : Shell {
    CallResult run(const std::string&) override { return {0, "", false, ""}; }
    std::unique_ptr<Shell> with_variable(const std::string&, const std::string&) override {
        return std::make_unique<SilentServer>();
    }
};

struct Run {
    RunSettings settings;
    BufferConsole console;
    SilentServer shell;
    ScratchFiles scratch;
    RunContext ctx{settings, console, shell, scratch};
};

struct TagsmithConsole : tagsmith::Console {
    void print(std::string_view) override {}
};

struct Input {
    unsigned control;  // the first byte steers a target: server kind, mode, counts
    std::string_view text;
};

void fuzz_fields(Input in) {  // read_field, split_fields, double_quotes, read_line, names
    std::string field;
    const std::size_t blanks = std::min(in.text.find_first_not_of(' '), in.text.size());
    CHECK(read_field(in.text, field) == blanks + field.size() && field == bar_fields(in.text)[0]);
    CHECK(split_fields(in.text) == bar_fields(in.text));
    const std::string doubled = double_quotes(in.text);
    std::string undoubled;
    for (std::size_t i = 0; i < doubled.size(); i += 1 + (doubled[i] == '"')) {
        CHECK(doubled[i] != '"' || doubled.substr(i, 2) == "\"\"");
        undoubled += doubled[i];
    }
    CHECK(undoubled == in.text);
    std::istringstream stream{std::string(in.text)};
    Words lines, names;
    bool ended = false, lastEnded = false;
    for (std::string line; read_line(stream, line, &ended); lastEnded = ended)
        lines.push_back(line);
    CHECK(lines == lines_of(in.text, true) && lastEnded == in.text.ends_with('\n'));
    for (const std::string& line : lines)
        if (!line.empty() && line.find("Prefix") == npos && line.find("Severity") == npos)
            names.push_back(at(bar_fields(line), 2));
    std::istringstream configInfo{std::string(in.text)};
    CHECK(read_config_field_names(configInfo) == names);
}

void fuzz_tracking(Input in) {  // the defect and feature record walks
    const ServerKind server = in.control & 1 ? ServerKind::Corvane : ServerKind::Vandor;
    const std::size_t configs = (in.control >> 1) % (kMaxConfigFields + 1);
    const Words fields = split_fields(in.text), names = split_at(in.text, ',');
    const TrackingMaps noMaps;
    ValueMapper values(noMaps.values);
    const Words mapped = one_record(compose_mapped_defect_record(fields, server, values));
    CHECK(mapped.size() == 9 && mapped[0] == at(fields, 1) && mapped[4] == at(fields, 8));
    const Words plain = one_record(compose_plain_defect_record(fields, server, configs));
    CHECK(plain.size() == 24 + configs && plain[23] == at(fields, 23));
    const std::size_t headerNames = std::min(names.size(), kMaxConfigFields) + 1;
    CHECK(one_record(defect_header(false, names)).size() == 24 + headerNames);
    const std::string note(in.text);
    CHECK(one_record(notes_column(note)) == Words{note.empty() ? "Migrated Note" : note});
    // Whole files: the header and one record per raw line, all of one width.
    Run run;
    const bool features = in.control & 32;
    run.settings.exportKind = features ? ExportKind::Features : ExportKind::Defects;
    run.settings.serverKind = server;
    run.settings.mapValues = (in.control >> 6) & 1;
    run.settings.outputFileName = "export.csv";
    write_file("raw.txt", in.text);
    CHECK((features ? write_feature_file : write_defect_file)(run.ctx, "raw.txt", names, noMaps) == 0);
    const std::size_t records = lines_of(in.text, true).size();
    const auto file = test_folder::csv_records(read_file("export.csv"));
    CHECK(std::filesystem::remove("export.csv") == (records > 0));  // none without records
    CHECK(records == 0 || (file && file->size() == records + 1));
    for (const Words& record : file.value_or(std::vector<Words>()))
        CHECK(record.size() == file->front().size());
}

void fuzz_notes(Input in) {
    std::istringstream stream{std::string(in.text)};
    std::string note, expected;
    CHECK(read_note(stream, note) == in.text.size());
    // The first kNoteLimit bytes, CR LF pairs joined; a pair the limit cuts ends its line.
    const std::string_view kept = in.text.substr(0, kNoteLimit);
    for (std::size_t i = 0; i < kept.size(); ++i)
        if (in.text.substr(i, 2) != "\r\n")
            expected += kept[i];
        else if (i + 1 == kept.size())
            expected += '\n';
    CHECK(note == expected);
}

void fuzz_users(Input in) {
    const std::string line(in.text.substr(0, in.text.find('\n')));
    const Words fields = split_user_line(line);
    const std::string block = compose_user_block(fields);
    CHECK(fields == split_at(line, '|') && std::count(block.begin(), block.end(), '\n') == 16);
    CHECK(block.starts_with("USER\t" + fields[0] + "\n"));
}

void fuzz_history_rows(Input in) {
    const Words f = bar_fields(in.text);
    const PartFullViewRecord part = parse_part_row(in.text);
    const RevisionRecord revision = parse_revision_row(in.text);
    const VersionRecord version = parse_version_row(in.text, "p");
    CHECK(part.nupathname == at(f, 0) && part.sourceid == at(f, 7) &&
          revision.sourceid == at(f, 5));
    CHECK(version.pathname == "p" && version.sid == at(f, 0) && version.changedate == at(f, 3));
    const int mode = static_cast<int>(in.control % 4) - 1;
    const auto committed = parse_committed_row(in.text, mode);
    CHECK(committed.has_value() == (mode == 0 || mode == 1));
    CHECK(!committed || committed->versionid == at(f, 3));
    CHECK(parse_change_time(in.text) >= -1);
}

void fuzz_element_import(Input in) {  // element import files read back (-verify, the export's check)
    const ReadImport read = read_import_text(in.text);
    auto inside = [&](std::string_view v) {
        return v.empty() || (v.data() >= in.text.data() && v.data() + v.size() <= in.text.data() + in.text.size());
    };
    std::size_t versions = 0;
    for (const ReadElement& element : read.elements) {
        CHECK(!element.name.empty() && inside(element.name));
        for (const ReadVersion& v : element.versions) CHECK(!v.id.empty() && inside(v.id) && inside(v.branch));
        versions += element.versions.size();
    }
    CHECK(versions <= read.versionCount);  // an element a fault cut short is left out
    CHECK(!read.fault.empty() || in.text.empty() || in.text.back() == '\n');  // read whole: whole lines
}

void fuzz_specs(Input in) {  // the release and part specification files
    Run run;
    run.settings.relSpecFile = run.settings.partSpecFile = "spec.txt";
    run.settings.serverKind = in.control & 1 ? ServerKind::Corvane : ServerKind::Vandor;
    run.settings.partIndex = static_cast<int>(in.control >> 1) % 8 + 1;
    write_file("spec.txt", in.text);
    std::string rawFile;
    CHECK(select_parts(run.ctx, "('R1')", rawFile) == 0);
    Words releases, expected, names;
    CHECK(read_release_spec(run.ctx, releases) == 0);
    PartInList list;  // every name stays one SQL literal
    for (const std::string& line : lines_of(in.text, true)) {
        if (!bar_fields(line)[0].empty()) expected.push_back(bar_fields(line)[0]);
        add_to_part_list(list, line, false);
        if (!line.empty()) names.push_back(line);
    }
    add_to_part_list(list, "", true);
    CHECK(releases == expected && sql_names(release_in_list(releases)) == releases);
    CHECK(list.text.empty() || sql_names(list.text) == names);
}

void fuzz_options(Input in) {
    std::string words("ferrox_cvn\n");
    words += in.text;
    std::replace(words.begin(), words.end(), '\0', '\n');
    RunSettings s;
    std::string why;
    const int rc = parse_options(split_at(words, '\n'), s, &why);
    CHECK(rc == 0 ? why.empty() : rc == -1 && !why.empty());
    CHECK(rc != 0 || (s.releaseName.size() <= kMaxReleaseNameLength &&
                      s.sinceDate.size() <= kMaxSinceDateLength &&
                      s.whereClause.size() <= kMaxWhereClauseLength &&
                      s.outputFileName.size() <= kMaxTextOptionLength && s.partIndex >= 1 &&
                      s.jobs >= 1 && s.jobs <= kMaxJobs));
}

void fuzz_tagsmith(Input in) {  // the saved labels (before a NUL) and directories files
    const std::size_t cut = in.text.find('\0');
    write_file("labels.txt", in.text.substr(0, cut));
    write_file("dirs.txt", in.text.substr(cut == npos ? 0 : cut + 1));
    tagsmith::FileHandle file(std::fopen("labels.txt", "rb"));
    tagsmith::LineReader reader(file.get());
    Words lines;
    for (std::string line; reader.next(line); lines.push_back(line)) {
        const auto value = tagsmith::tagged_value(line, "LbType ");
        const std::size_t colon = line.find(':');  // a value lies after the first ":"
        CHECK(!value || (colon == npos ? value->empty()
                                       : value->data() == line.data() + colon + 1 &&
                                             value->size() <= line.size() - colon - 1));
    }
    CHECK(!reader.failed() && lines == lines_of(in.text.substr(0, cut), false));
    const bool posix = in.control & 1;
    TagsmithConsole console;
    const int status = tagsmith::run_tagsmith(
        {"dirs.txt", "labels.txt", "commands.txt"}, console,
        posix ? tagsmith::Interpreter::posixShell : tagsmith::Interpreter::windowsCmd);
    CHECK(status == 0 || status == 1);
    if (status != 0) return;
    // Every command is followed by an empty line; a CR ending a value is the value's.
    const Words commands = split_at(read_file("commands.txt"), '\n');
    CHECK(commands.size() >= 3 && commands.size() % 2 == 1 && commands.back().empty());
    for (std::size_t i = 0; i + 1 < commands.size(); i += 2)
        CHECK(commands[i].starts_with("sbxcmd mklabel ") && commands[i + 1].empty() &&
              (!posix || sh_words(commands[i]).value_or(Words()).size() == 4));
}

void fuzz_quoting(Input in) {
    // Values as tagsmith meets them: one line of a file, not empty.
    using tagsmith::Interpreter;
    const std::string value(in.text.substr(0, in.text.find('\n')));
    if (value.empty()) return;
    CHECK(tagsmith::can_pass(value, Interpreter::posixShell) ==
          (sh_words(tagsmith::quote_argument(value, Interpreter::posixShell)) == Words{value}));
    CHECK(tagsmith::can_pass(value, Interpreter::windowsCmd) ==
          (cmd_argument(tagsmith::quote_argument(value, Interpreter::windowsCmd), true) == value));
    // ferrox's command lines hold no NUL, and run_command refuses a CR for cmd.exe.
    if (value.find('\0') != npos) return;
    CHECK(sh_words(platform::quote_posix(value)) == Words{value});
    CHECK(value.find('\r') != npos || cmd_argument(platform::quote_cmd(value), false) == value);
}

struct Target {
    const char* name;
    void (*run)(Input);
};

const Target kTargets[] = {
    {"fields", fuzz_fields},   {"tracking", fuzz_tracking},         {"notes", fuzz_notes},
    {"users", fuzz_users},     {"history_rows", fuzz_history_rows}, {"specs", fuzz_specs},
    {"options", fuzz_options}, {"tagsmith", fuzz_tagsmith},         {"quoting", fuzz_quoting},
    {"element_import", fuzz_element_import},
};

const Target* chosen = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    const std::string name = std::filesystem::path(*argc > 0 ? (*argv)[0] : "").filename();
    for (const Target& target : kTargets)
        if (name == "fuzz_" + std::string(target.name)) chosen = &target;
    if (chosen) return 0;
    for (const Target& target : kTargets) std::printf("%s\n", target.name);
    std::exit(name == "ferrox_fuzz" ? 0 : 2);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    chosen->run({size ? data[0] : 0u, text.substr(size ? 1 : 0)});
    return 0;
}
