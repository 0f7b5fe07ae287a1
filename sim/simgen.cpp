// simgen: creates a simulated server database of either kind: the schema, then an
// optional hand-written fixture, synthetic data from a seed, and extra SQL files.
//
// The same options and seed always give the same database, so a failing test or a
// benchmark can be reproduced from its command line alone.
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "schema.h"

namespace {

using sim::ServerKind;

const char* const kUsage =
    "usage: simgen corvane|vandor DB [--fixture F] [--sql F]... [--seed N] [--parts N]\n"
    "              [--revisions N] [--branch-prob P] [--branch-depth N] [--releases N]\n"
    "              [--workareas N] [--defects N] [--features N] [--users N]\n"
    "              [--config-fields N] [--note-size N] [--note-sizes A,B,...]\n"
    "              [--branch-rows P] [--skew P] [--same-times P] [--anew P]\n";

struct Options {
    ServerKind kind = ServerKind::corvane;
    std::string db;
    std::string fixture;
    std::vector<std::string> sqlFiles;
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
    std::optional<int> configFields;  // default: 4 when anything is generated, else 0
    long noteSize = 2048;
    std::vector<long> noteSizes;
    // The awkward histories real servers hold, each by its chance: a release that holds
    // a branch's newest revision too (its fork then marked by no row), a revision dated
    // before the one it came from, one dated exactly as the revision made before it, a
    // part deleted and made anew (a second root).
    double branchRows = 0.3;
    double skew = 0;
    double sameTimes = 0;
    double anew = 0;

    bool generates() const { return parts > 0 || defects > 0 || features > 0 || users > 0; }
};

class Error {
public:
    explicit Error(std::string message) : message_(std::move(message)) {}
    const std::string& message() const { return message_; }

private:
    std::string message_;
};

long to_number(const std::string& option, const std::string& text, long low) {
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < low)
        throw Error(option + " needs a whole number of at least " + std::to_string(low) +
                    ", not \"" + text + "\"");
    return value;
}

double chance_option(const std::string& option, const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || value < 0 || value > 1)
        throw Error(option + " needs a number from 0 to 1, not \"" + text + "\"");
    return value;
}

Options parse_options(int argc, char** argv) {
    if (argc < 3) throw Error(kUsage);
    Options options;
    std::string kind = argv[1];
    if (kind == "corvane")
        options.kind = ServerKind::corvane;
    else if (kind == "vandor")
        options.kind = ServerKind::vandor;
    else
        throw Error(std::string("unknown server kind \"") + kind + "\"\n" + kUsage);
    options.db = argv[2];
    for (int i = 3; i < argc; ++i) {
        std::string option = argv[i];
        if (i + 1 >= argc) throw Error(option + " needs a value\n" + kUsage);
        std::string value = argv[++i];
        auto count = [&](long low = 0) { return static_cast<int>(to_number(option, value, low)); };
        if (option == "--fixture") options.fixture = value;
        else if (option == "--sql") options.sqlFiles.push_back(value);
        else if (option == "--seed") options.seed = static_cast<std::uint64_t>(to_number(option, value, 0));
        else if (option == "--parts") options.parts = count();
        else if (option == "--revisions") options.revisions = count(1);
        else if (option == "--branch-prob") options.branchProb = chance_option(option, value);
        else if (option == "--branch-rows") options.branchRows = chance_option(option, value);
        else if (option == "--skew") options.skew = chance_option(option, value);
        else if (option == "--same-times") options.sameTimes = chance_option(option, value);
        else if (option == "--anew") options.anew = chance_option(option, value);
        else if (option == "--branch-depth") options.branchDepth = count();
        else if (option == "--releases") options.releases = count(1);
        else if (option == "--workareas") options.workareas = count();
        else if (option == "--defects") options.defects = count();
        else if (option == "--features") options.features = count();
        else if (option == "--users") options.users = count();
        else if (option == "--config-fields") options.configFields = count();
        else if (option == "--note-size") options.noteSize = to_number(option, value, 0);
        else if (option == "--note-sizes") {
            std::stringstream list(value);
            std::string item;
            while (std::getline(list, item, ','))
                options.noteSizes.push_back(to_number(option, item, 0));
        } else
            throw Error("unknown option " + option + "\n" + kUsage);
    }
    return options;
}

/// Random choices from the seed only, independent of the standard library's
/// distributions (which differ between implementations).
class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    std::uint64_t next() { return engine_(); }
    int below(int n) { return n <= 0 ? 0 : static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    long between(long low, long high) {
        return high <= low ? low : low + static_cast<long>(next() % static_cast<std::uint64_t>(high - low + 1));
    }
    double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    bool chance(double p) { return unit() < p; }
    /// chance(p), drawing nothing when p is 0: data made without an option stays the same.
    bool sometimes(double p) { return p > 0 && chance(p); }
    template <typename T, std::size_t N>
    const T& pick(const T (&items)[N]) { return items[below(static_cast<int>(N))]; }
    template <typename T>
    const T& pick(const std::vector<T>& items) { return items[below(static_cast<int>(items.size()))]; }

private:
    std::mt19937_64 engine_;
};

/// "YYYY/MM/DD HH:MM:SS" of a count of seconds since 1970/01/01 00:00:00 (no zone).
std::string date_text(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    // Civil date from a day count (proleptic Gregorian calendar).
    days += 719468;
    std::int64_t era = days / 146097;
    std::int64_t doe = days - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t year = yoe + era * 400;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    if (month <= 2) ++year;
    char text[32];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", static_cast<int>(year),
                  static_cast<int>(month), static_cast<int>(day), static_cast<int>(rest / 3600),
                  static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return text;
}

constexpr std::int64_t kStart = 1546300800;  // 2019/01/01 00:00:00
constexpr std::int64_t kSpan = 4LL * 365 * 86400;

// ---------------------------------------------------------------------------------------
// Database access

using Value = std::optional<std::string>;  // nothing is NULL

class Database {
public:
    explicit Database(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK)
            throw Error("cannot create " + path + ": " + sqlite3_errmsg(db_));
    }
    ~Database() { sqlite3_close(db_); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(const std::string& sql, const std::string& origin) {
        char* message = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
            std::string text = message ? message : "unknown error";
            sqlite3_free(message);
            throw Error(origin + ": " + text);
        }
    }
    sqlite3* handle() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

/// One prepared INSERT, reused for every row of its table.
class Inserter {
public:
    Inserter(Database& db, const std::string& table, const std::vector<std::string>& columns)
        : db_(db) {
        std::string sql = "INSERT INTO " + table + " (";
        std::string marks;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            sql += (i ? ",\"" : "\"") + columns[i] + "\"";
            marks += i ? ",?" : "?";
        }
        sql += ") VALUES (" + marks + ")";
        if (sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK)
            throw Error(sql + ": " + sqlite3_errmsg(db.handle()));
    }
    ~Inserter() { sqlite3_finalize(stmt_); }
    Inserter(const Inserter&) = delete;
    Inserter& operator=(const Inserter&) = delete;

    void row(const std::vector<Value>& values, int blobColumn = -1) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            int index = static_cast<int>(i) + 1;
            if (!values[i])
                sqlite3_bind_null(stmt_, index);
            else if (static_cast<int>(i) == blobColumn)
                sqlite3_bind_blob(stmt_, index, values[i]->data(), static_cast<int>(values[i]->size()),
                                  SQLITE_TRANSIENT);
            else
                sqlite3_bind_text(stmt_, index, values[i]->data(), static_cast<int>(values[i]->size()),
                                  SQLITE_TRANSIENT);
        }
        if (sqlite3_step(stmt_) != SQLITE_DONE) throw Error(sqlite3_errmsg(db_.handle()));
        sqlite3_reset(stmt_);
    }

private:
    Database& db_;
    sqlite3_stmt* stmt_ = nullptr;
};

std::string read_text_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error("cannot read " + path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// ---------------------------------------------------------------------------------------
// Schema

std::vector<std::string> split_columns(std::string_view columns) {
    std::vector<std::string> names;
    std::stringstream list{std::string(columns)};
    std::string item;
    while (std::getline(list, item, ',')) {
        auto start = item.find_first_not_of(' ');
        names.push_back(item.substr(start, item.find(' ', start) - start));
    }
    return names;
}

/// The fixed columns of a record kind's view with their types, the server kind's own last.
std::string view_columns(ServerKind kind, bool defect) {
    std::string columns(defect ? sim::defect_fixed_columns : sim::feature_fixed_columns);
    if (kind == ServerKind::corvane)
        columns += defect ? sim::corvane_defect_columns : sim::corvane_feature_columns;
    return columns;
}

void create_schema(Database& db, ServerKind kind) {
    db.exec(std::string(sim::common_schema), "schema");
    db.exec("CREATE TABLE DefectView (" + view_columns(kind, true) + ");\n"
            "CREATE TABLE FeatureView (" + view_columns(kind, false) + ");",
            "schema");
    db.exec(std::string(kind == ServerKind::corvane ? sim::corvane_schema : sim::vandor_schema),
            "schema");
    // The lines a server prints besides its field lines; readers skip them.
    db.exec("INSERT INTO configInfo VALUES"
            "('defect', 0, 'defect|Prefix|d|text|8'),"
            "('defect', 15, 'defect|Severity|1,2,3,4|text|2'),"
            "('feature', 0, 'feature|Prefix|f|text|8'),"
            "('feature', 15, 'feature|Severity|5|text|2');",
            "schema");
    db.exec(std::string("INSERT INTO simInfo VALUES ('kind', '") +
                (kind == ServerKind::corvane ? "corvane" : "vandor") + "');",
            "schema");
}

/// Appends configurable field `number` (from 1) to the record kind's view and its line
/// to the configuration info, so that both stay in the same order.
void add_config_field(Database& db, const std::string& recordKind, int number, const std::string& name) {
    std::string view = recordKind == "defect" ? "DefectView" : "FeatureView";
    db.exec("ALTER TABLE " + view + " ADD COLUMN \"" + name + "\" TEXT;"
            "INSERT INTO configInfo VALUES ('" + recordKind + "', " + std::to_string(number * 10) +
                ", '" + recordKind + "|" + std::to_string(number) + "|" + name + "|text|64');",
            "configurable field " + name);
}

std::string config_field_name(const std::string& recordKind, int number) {
    static const char* const defectNames[] = {"Symptom", "Frequency", "Workaround", "Priority"};
    static const char* const featureNames[] = {"Priority", "Customer", "TargetRelease"};
    char generic[16];
    std::snprintf(generic, sizeof generic, "Field%02d", number);
    if (recordKind == "defect" && number <= 4) return defectNames[number - 1];
    if (recordKind == "feature" && number <= 3) return featureNames[number - 1];
    return generic;
}

// ---------------------------------------------------------------------------------------
// Text

const char* const kFirstNames[] = {"Ann", "Bob", "Chloé", "Dmitri", "Eve", "Frank", "Grete",
                                   "Hiro", "Ines", "Jürgen", "Kate", "Lars", "Mónica", "Nils",
                                   "Olga", "Pat", "Quentin", "Rosa", "Søren", "Tom", "Uma",
                                   "Victor", "Wen", "Zoë"};
const char* const kLastNames[] = {"Smith", "O'Brien", "Müller", "Nakamura", "García", "Dubois",
                                  "Kowalski", "Andersson", "Brown", "Lee", "Øvergaard", "Rossi",
                                  "Nguyen", "Schmidt", "Ivanova", "Patel"};
const char* const kWords[] = {"buffer", "server", "release", "crash", "when", "the", "export",
                              "fails", "after", "opening", "a", "file", "with", "long", "name",
                              "report", "window", "résumé", "naïve", "größe", "value", "index",
                              "cannot", "save", "settings", "on", "restart", "timeout", "in",
                              "dialog", "for", "user", "list", "error", "message", "wrong",
                              "count", "empty", "field", "überlauf", "déjà", "vu", "path"};
const char* const kComponents[] = {"kernel", "ui", "db", "net", "build", "docs", "tools", "install"};
const char* const kDefectStates[] = {"open", "working", "verify", "closed", "canceled",
                                     "returned", "design", "review", "size", "open", "working",
                                     "closed"};
const char* const kSeverities[] = {"1", "2", "3", "4", "3", "2", "5", ""};
const char* const kAnswers[] = {"program_defect", "not_repro", "duplicate", "suggestion", ""};
const char* const kEnvs[] = {"linux", "win32", "aix", "hpux", "solaris"};
const char* const kSymptoms[] = {"core_dump", "function_needed", "incorrect_i/o", "program_defect",
                                 "lost_data", "install_failed", "performance", "usability",
                                 "other", "Core_Dump", ""};
const char* const kPriorities[] = {"mustfix", "candidate", "n/a", "normal", "mustfix ", ""};
const char* const kAreas[] = {"dev", "qa", "support", "docs", "release eng"};
const char* const kSentences[] = {
    "The export stops when the path holds a blank.",
    "Customer says: \"it worked yesterday\", and nothing changed since.",
    "Steps: open the file, press Save, wait 5 s, crash.",
    "  Indented line, as pasted from a log.",
    "Résumé: the naïve fix breaks the größe check.",
    "Value \"a,b\" is split in two; expected one field.",
    "See also defect 1042, comment 3.",
    "Überprüfung fehlgeschlagen; Größe 0.",
    "Workaround: restart the server, then retry the export.",
    "Attached trace follows:",
    "  at report_writer.c:212 (write_line)",
    "Tested on build 4.2.1, 4.2.2 and 4.3.0 - all affected.",
    "Priority raised after the 'quarterly' review.",
    "Déjà vu: same symptom as last year's release.",
    "A | in the note is fine; notes are not split.",
    "",
};

std::string pick_words(Random& random, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i) text += ' ';
        text += random.pick(kWords);
    }
    return text;
}

/// A one-line value with the awkward parts real data has: quotes, commas, leading blanks,
/// non-ASCII letters. Never a "|" or a line end, which a view value cannot hold.
std::string abstract_text(Random& random) {
    std::string text = pick_words(random, 3 + random.below(8));
    text[0] = static_cast<char>(text[0] >= 'a' && text[0] <= 'z' ? text[0] - 32 : text[0]);
    switch (random.below(6)) {
    case 0: text += ", \"" + pick_words(random, 2) + "\""; break;
    case 1: text = "  " + text; break;
    case 2: text += ", then " + pick_words(random, 3); break;
    case 3: text = "\"" + text + "\" " + pick_words(random, 2); break;
    default: break;
    }
    return text;
}

/// A note of exactly `size` bytes: lines of text ending in CR LF (now and then LF alone),
/// never cut inside a UTF-8 character.
std::string note_text(Random& random, long size) {
    std::string note;
    note.reserve(static_cast<std::size_t>(size) + 128);
    while (static_cast<long>(note.size()) < size) {
        note += random.pick(kSentences);
        note += random.chance(0.9) ? "\r\n" : "\n";
    }
    note.resize(static_cast<std::size_t>(size));
    // Replace a UTF-8 sequence that the cut left incomplete.
    std::size_t lead = note.size();
    while (lead > 0 && (static_cast<unsigned char>(note[lead - 1]) & 0xC0) == 0x80) --lead;
    if (lead > 0 && static_cast<unsigned char>(note[lead - 1]) >= 0xC0) {
        unsigned char first = static_cast<unsigned char>(note[lead - 1]);
        std::size_t need = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : 2;
        if (note.size() - (lead - 1) < need)
            for (std::size_t i = lead - 1; i < note.size(); ++i) note[i] = '.';
    }
    return note;
}

/// Lower-case ASCII letters of a name, accented letters folded, as logins are made.
std::string ascii_lower(std::string_view text) {
    static const std::pair<std::string_view, char> folds[] = {
        {"é", 'e'}, {"ë", 'e'}, {"í", 'i'}, {"ó", 'o'}, {"ö", 'o'}, {"ø", 'o'},
        {"Ø", 'o'}, {"ü", 'u'}, {"ç", 'c'}, {"ñ", 'n'}, {"å", 'a'}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 'A' && c <= 'Z') out += static_cast<char>(c + 32);
        else if (c >= 'a' && c <= 'z') out += static_cast<char>(c);
        else
            for (const auto& [letter, plain] : folds)
                if (text.substr(i, letter.size()) == letter) {
                    out += plain;
                    i += letter.size() - 1;
                    break;
                }
    }
    return out;
}

struct Person {
    std::string login;
    std::string name;
};

std::vector<Person> make_people(Random& random, int count) {
    std::vector<Person> people;
    std::vector<std::string> logins;
    for (int i = 0; i < count; ++i) {
        std::string first = random.pick(kFirstNames);
        std::string last = random.pick(kLastNames);
        std::string login = ascii_lower(first.substr(0, 1)) + ascii_lower(last);
        std::string unique = login;
        for (int n = 2; std::find(logins.begin(), logins.end(), unique) != logins.end(); ++n)
            unique = login + std::to_string(n);
        logins.push_back(unique);
        people.push_back({unique, first + " " + last});
    }
    return people;
}

// ---------------------------------------------------------------------------------------
// Tracking records

struct Context {
    const Options& options;
    Database& db;
    Random& random;
    std::vector<Person> people;
    std::vector<std::string> releases;
    int configFields = 0;  // of each record kind
};

void generate_users(Context& c) {
    Inserter insert(c.db, "Users", split_columns(
        "login, name, info, email, area, addDate, lastUpdate, superUser, dropDate"));
    static const char* const firstFlags[] = {"yes", "yesterday", "Yes", "no", "", "yes"};
    for (int i = 0; i < c.options.users; ++i) {
        const Person& person = c.people[static_cast<std::size_t>(i)];
        std::string flag = i < 6 ? firstFlags[i] : (c.random.chance(0.2) ? "yes" : "no");
        std::string name = person.name;
        if (c.random.chance(0.15)) name = " " + name;
        if (c.random.chance(0.1)) name += " ";
        std::string info = c.random.chance(0.5) ? std::string(c.random.pick(kAreas)) + ", building \"" +
                                                      std::string(1, static_cast<char>('A' + c.random.below(6))) + "\""
                                                : std::string();
        std::string email = person.login + "@example.com";
        if (c.random.chance(0.1)) email = " " + email;
        std::int64_t added = kStart + c.random.between(0, kSpan / 2);
        Value dropped;
        if (i == 5 || (i >= 6 && c.random.chance(0.05)))
            dropped = date_text(added + c.random.between(86400, kSpan / 2));
        insert.row({person.login, name, info, email, std::string(c.random.pick(kAreas)),
                    date_text(added), date_text(added + c.random.between(0, 86400 * 90)), flag, dropped});
    }
}

std::string config_value(Context& c, const std::string& name) {
    if (name == "Symptom") return c.random.pick(kSymptoms);
    if (name == "Priority") return c.random.pick(kPriorities);
    static const char* const frequencies[] = {"always", "sometimes", "once", ""};
    if (name == "Frequency") return c.random.pick(frequencies);
    if (c.random.chance(0.3)) return "";
    return abstract_text(c.random);
}

/// Defects and features share the shape of their rows: the fixed columns by name, the
/// kind's extra columns, the configurable fields, and a long-view note.
void generate_records(Context& c, const std::string& recordKind, int count) {
    bool defect = recordKind == "defect";
    ServerKind kind = c.options.kind;
    std::vector<std::string> columns = split_columns(view_columns(kind, defect));
    std::vector<std::string> fieldNames;
    for (int f = 1; f <= c.configFields; ++f) fieldNames.push_back(config_field_name(recordKind, f));
    std::vector<std::string> all = columns;
    all.insert(all.end(), fieldNames.begin(), fieldNames.end());
    Inserter insert(c.db, defect ? "DefectView" : "FeatureView", all);
    Inserter note(c.db, recordKind + "Long", {"name", "note"});

    int firstName = defect ? 1000 : 5000;
    for (int i = 0; i < count; ++i) {
        std::string name = std::to_string(firstName + i);
        const Person& owner = c.random.pick(c.people);
        const Person& origin = c.random.pick(c.people);
        std::int64_t added = kStart + c.random.between(0, kSpan);
        static const char* const featureStates[] = {"open", "design", "review", "working", "closed", "canceled"};
        std::string state = defect ? c.random.pick(kDefectStates) : c.random.pick(featureStates);
        bool finished = state == "closed" || state == "canceled";
        auto later = [&](std::int64_t from) { return date_text(from + c.random.between(3600, 86400 * 60)); };
        Value duplicate;
        if (i > 0 && c.random.chance(0.05)) duplicate = std::to_string(firstName + c.random.below(i));
        Value reference;
        if (c.random.chance(0.3)) reference = "CR-" + std::to_string(c.random.between(100, 9999));

        // Values by column name, so both layouts draw from the same description.
        auto value = [&](const std::string& column) -> Value {
            if (column == "prefix") return std::string(defect ? "d" : "f");
            if (column == "name") return name;
            if (column == "compName") return std::string(c.random.pick(kComponents));
            if (column == "releaseName") return c.random.pick(c.releases);
            if (column == "ownerLogin") return owner.login;
            if (column == "ownerName") return owner.name;
            if (column == "ownerArea" || column == "originArea") return std::string(c.random.pick(kAreas));
            if (column == "state") return state;
            if (column == "answer") return finished ? Value(c.random.pick(kAnswers)) : Value();
            if (column == "severity") return std::string(c.random.pick(kSeverities));
            if (column == "abstract") return abstract_text(c.random);
            if (column == "age") return std::to_string(c.random.between(0, 900));
            if (column == "envName") return std::string(c.random.pick(kEnvs));
            if (column == "driverName") return c.random.chance(0.4) ? Value(c.random.pick(c.releases) + "_d" + std::to_string(c.random.between(1, 9))) : Value();
            if (column == "duplicate") return duplicate;
            if (column == "lastUpdate") return later(added + 86400 * 60);
            if (column == "addDate") return date_text(added);
            if (column == "assignDate") return later(added);
            if (column == "responseDate") return c.random.chance(0.7) ? Value(later(added + 86400)) : Value();
            if (column == "endDate") return finished ? Value(later(added + 86400 * 30)) : Value();
            if (column == "reference") return reference;
            if (column == "originLogin") return origin.login;
            if (column == "originName") return origin.name;
            if (column == "ownerId" || column == "originId") return std::to_string(c.random.between(1, 99999));
            return Value();
        };
        std::vector<Value> row;
        row.reserve(all.size());
        for (const auto& column : columns) row.push_back(value(column));
        for (const auto& field : fieldNames) row.push_back(config_value(c, field));
        insert.row(row);

        long size = static_cast<std::size_t>(i) < c.options.noteSizes.size()
                        ? c.options.noteSizes[static_cast<std::size_t>(i)]
                        : c.random.between(c.options.noteSize / 2, c.options.noteSize * 3 / 2);
        note.row({name, note_text(c.random, size)}, 1);
    }
}

// ---------------------------------------------------------------------------------------
// Parts and their revision trees

struct Revision {
    std::string name;      // "3", "3.1.2", "3.1.2.2.1"
    int parent = -1;       // index of the revision it was derived from
    int depth = 0;         // 0 on the main line, +1 per branch level
    bool trunk = true;
    std::int64_t time = 0;
    std::string sourceid;  // Corvane: content id; Vandor: version id
    std::string oid;
};

/// Revisions in time order. Most continue a line of development; with the branch
/// probability one starts a branch off an earlier revision no deeper than the limit.
std::vector<Revision> make_tree(Context& c, std::int64_t from, std::int64_t span) {
    struct Line {
        std::string prefix;
        int count = 0;
        int tip = -1;
        int depth = 0;
    };
    int total = c.options.revisions;
    std::vector<Revision> revisions;
    revisions.reserve(static_cast<std::size_t>(total));
    std::vector<Line> lines{Line{}};
    std::vector<int> branchCount;
    std::int64_t step = std::max<std::int64_t>(span / total, 2);
    // Made anew: from here on a new main line without an ancestor, numbered on after
    // the old one (names never repeat within a part); the old lines end.
    const int anewAt =
        total > 1 && c.random.sometimes(c.options.anew) ? static_cast<int>(c.random.between(1, total - 1)) : -1;
    for (int k = 0; k < total; ++k) {
        if (k == anewAt) lines = {Line{"", lines[0].count, -1, 0}};
        std::size_t lineIndex = 0;
        bool branched = false;
        if (k > 0 && c.random.chance(c.options.branchProb)) {
            for (int attempt = 0; attempt < 8 && !branched; ++attempt) {
                int base = c.random.below(k);
                if (revisions[static_cast<std::size_t>(base)].depth >= c.options.branchDepth) continue;
                int number = ++branchCount[static_cast<std::size_t>(base)];
                const Revision& from_rev = revisions[static_cast<std::size_t>(base)];
                lines.push_back(Line{from_rev.name + "." + std::to_string(number) + ".", 0, base, from_rev.depth + 1});
                lineIndex = lines.size() - 1;
                branched = true;
            }
        }
        if (!branched && lines.size() > 1 && c.random.chance(0.3))
            lineIndex = static_cast<std::size_t>(c.random.below(static_cast<int>(lines.size())));
        Line& line = lines[lineIndex];
        Revision revision;
        revision.name = line.prefix + std::to_string(++line.count);
        revision.parent = line.tip;
        revision.depth = line.depth;
        revision.trunk = lineIndex == 0;
        revision.time = from + k * step + c.random.between(0, step / 2);
        if (k > 0 && c.random.sometimes(c.options.sameTimes)) revision.time = revisions.back().time;
        // A client clock behind the server's: minutes to hours before its ancestor.
        if (revision.parent >= 0 && c.random.sometimes(c.options.skew))
            revision.time = revisions[static_cast<std::size_t>(revision.parent)].time - c.random.between(60, 6 * 3600);
        line.tip = k;
        revisions.push_back(std::move(revision));
        branchCount.push_back(0);
    }
    return revisions;
}

std::string part_path(Random& random, int index) {
    static const char* const dirs[] = {"src/core", "src/ui", "src/net/proto", "include",
                                       "docs", "tools/build", "test/unit", "src/db"};
    static const char* const exts[] = {".c", ".h", ".cpp", ".txt", ".mk", ".sh"};
    std::string dir = random.pick(dirs);
    std::string base = random.pick(kWords);
    // Keep paths ASCII: they travel through the command interpreter on every platform.
    for (unsigned char ch : base)
        if (ch >= 0x80) base = "file";
    // Now and then a blank in the name, as users on the desktop side like to make them.
    std::string name = index % 25 == 7 ? base + " notes " + std::to_string(index) + ".txt"
                                       : base + "_" + std::to_string(index) + random.pick(exts);
    return dir + "/" + name;
}

/// The release cut times: release r holds what existed at cuts[r].
std::vector<std::int64_t> release_cuts(const Context& c) {
    std::vector<std::int64_t> cuts;
    int n = static_cast<int>(c.releases.size());
    for (int r = 0; r < n; ++r) cuts.push_back(kStart + kSpan * (r + 1) / n);
    return cuts;
}

/// For each release, the index of the newest main-line (and any) revision at its cut, or -1.
struct ReleaseView {
    std::vector<int> trunk;
    std::vector<int> any;
};

ReleaseView release_view(const std::vector<Revision>& revisions, const std::vector<std::int64_t>& cuts) {
    ReleaseView view{std::vector<int>(cuts.size(), -1), std::vector<int>(cuts.size(), -1)};
    for (std::size_t k = 0; k < revisions.size(); ++k)
        for (std::size_t r = 0; r < cuts.size(); ++r)
            if (revisions[k].time <= cuts[r]) {
                view.any[r] = static_cast<int>(k);
                if (revisions[k].trunk) view.trunk[r] = static_cast<int>(k);
            }
    return view;
}

std::size_t release_of(const std::vector<std::int64_t>& cuts, std::int64_t time) {
    for (std::size_t r = 0; r < cuts.size(); ++r)
        if (time <= cuts[r]) return r;
    return cuts.size() - 1;
}

void generate_corvane_parts(Context& c) {
    Inserter partRow(c.db, "PartFullView", split_columns(
        "nupathname, releasename, workareaname, userlogin, revisionname, lastupdate, fmode, sourceid, workareaid, dropdate"));
    Inserter revisionRow(c.db, "RevisionView", split_columns(
        "nupathname, changedate, revisionname, ancestorrevision, nuadddate, sourceid, oid"));
    Inserter versionRow(c.db, "versions", split_columns("revisionname, sourceid, sid, releasename"));
    Inserter areaRow(c.db, "workareaview", split_columns("workareaid, workareaname, releasename, state"));

    // Live work areas are in workareaview; retired ones only linger in part rows.
    struct Area { std::string id, name; };
    std::vector<Area> areas;
    static const char* const areaStates[] = {"fix", "integrate", "complete"};
    for (int w = 0; w < c.options.workareas; ++w) {
        char name[16];
        std::snprintf(name, sizeof name, "wa%02d", w + 1);
        areas.push_back({std::to_string(7001 + w), name});
        areaRow.row({areas.back().id, areas.back().name, c.random.pick(c.releases), std::string(c.random.pick(areaStates))});
    }
    for (int w = 0; w < (c.options.workareas + 1) / 2; ++w) {
        char name[16];
        std::snprintf(name, sizeof name, "old%02d", w + 1);
        areas.push_back({std::to_string(8001 + w), name});
    }

    auto cuts = release_cuts(c);
    long nextSource = 100000;
    long nextOid = 500000;
    for (int p = 0; p < c.options.parts; ++p) {
        std::string path = part_path(c.random, p);
        std::int64_t born = kStart + c.random.between(0, kSpan / 2);
        auto revisions = make_tree(c, born, kStart + kSpan - born);
        std::string fmode = path.find(".sh") != std::string::npos ? "0755" : "0644";
        for (auto& revision : revisions) {
            revision.sourceid = std::to_string(nextSource++);
            revision.oid = std::to_string(nextOid++);
            std::string when = date_text(revision.time);
            Value ancestor;
            if (revision.parent >= 0) ancestor = revisions[static_cast<std::size_t>(revision.parent)].name;
            revisionRow.row({path, when, revision.name, ancestor, when, revision.sourceid, revision.oid});
            versionRow.row({revision.name, revision.oid, "1." + revision.name,
                            c.releases[release_of(cuts, revision.time)]});
        }
        auto view = release_view(revisions, cuts);
        auto addRow = [&](std::size_t r, int k, const Area* area) {
            const Revision& revision = revisions[static_cast<std::size_t>(k)];
            Value dropped;
            if (c.random.chance(0.02)) dropped = date_text(cuts[r]);
            partRow.row({path, c.releases[r], area ? Value(area->name) : Value(), c.random.pick(c.people).login,
                         revision.name, date_text(revision.time), fmode, revision.sourceid,
                         area ? Value(area->id) : Value(), dropped});
        };
        for (std::size_t r = 0; r < cuts.size(); ++r) {
            if (view.trunk[r] < 0) continue;
            addRow(r, view.trunk[r], nullptr);
            if (view.any[r] != view.trunk[r] && c.random.chance(c.options.branchRows)) addRow(r, view.any[r], nullptr);
            if (!areas.empty() && c.random.chance(0.2))
                addRow(r, c.random.below(view.any[r] + 1), &c.random.pick(areas));
        }
    }
}

void generate_vandor_parts(Context& c) {
    Inserter fileRow(c.db, "Fileview", split_columns(
        "pathname, releasename, versionsid, versionid, compname, adddate, lastupdate, fmode, sourceid, dropdate"));
    Inserter committedRow(c.db, "committedVersions", split_columns(
        "pathname, releasename, sid, versionid, changedate, levelname, commitdate, changetype"));
    Inserter versionRow(c.db, "versions", split_columns("sid, id, previousid, changedate, sourceid"));

    auto cuts = release_cuts(c);
    long nextId = 10000;
    for (int p = 0; p < c.options.parts; ++p) {
        std::string path = part_path(c.random, p);
        std::string source = std::to_string(300 + p);
        std::string component = c.random.pick(kComponents);
        std::int64_t born = kStart + c.random.between(0, kSpan / 2);
        auto revisions = make_tree(c, born, kStart + kSpan - born);
        std::string fmode = path.find(".sh") != std::string::npos ? "0755" : "0644";
        for (auto& revision : revisions) {
            revision.sourceid = std::to_string(nextId++);
            std::string previous = revision.parent >= 0 ? revisions[static_cast<std::size_t>(revision.parent)].sourceid : "0";
            versionRow.row({"1." + revision.name, revision.sourceid, previous, date_text(revision.time), source});
        }
        auto view = release_view(revisions, cuts);
        for (std::size_t r = 0; r < cuts.size(); ++r) {
            int k = view.trunk[r];
            if (k < 0) {
                // The server lists a file that has no version in the release with id 0.
                if (c.random.chance(0.5))
                    fileRow.row({path, c.releases[r], Value(), std::string("0"), component, date_text(born),
                                 date_text(born), fmode, source, Value()});
                continue;
            }
            const Revision& revision = revisions[static_cast<std::size_t>(k)];
            Value dropped;
            if (c.random.chance(0.02)) dropped = date_text(cuts[r]);
            fileRow.row({path, c.releases[r], "1." + revision.name, revision.sourceid, component,
                         date_text(born), date_text(revision.time), fmode, source, dropped});
            std::int64_t previousCut = r == 0 ? 0 : cuts[r - 1];
            for (const auto& committed : revisions) {
                if (committed.time <= previousCut || committed.time > cuts[r]) continue;
                // Every version committed to a release was once its file: a row the cut
                // superseded, which the SID lookups of branch points find.
                if (committed.sourceid != revision.sourceid)
                    fileRow.row({path, c.releases[r], "1." + committed.name, committed.sourceid, component,
                                 date_text(born), date_text(committed.time), fmode, source, date_text(cuts[r])});
                std::int64_t commit = committed.time + c.random.between(60, 3600 * 6);
                committedRow.row({path, c.releases[r], "1." + committed.name, committed.sourceid,
                                  date_text(committed.time), c.releases[r] + "_L" + std::to_string(c.random.between(1, 9)),
                                  date_text(commit), std::string(c.random.chance(0.1) ? "noDelta" : "delta")});
            }
        }
    }
}

void generate(Database& db, const Options& options) {
    Random random(options.seed);
    Context c{options, db, random, {}, {}, 0};
    c.people = make_people(random, std::max(options.users, 12));
    for (int r = 1; r <= options.releases; ++r) c.releases.push_back("R" + std::to_string(r));
    c.configFields = options.configFields.value_or(options.generates() ? 4 : 0);
    for (const char* recordKind : {"defect", "feature"})
        for (int f = 1; f <= c.configFields; ++f)
            add_config_field(db, recordKind, f, config_field_name(recordKind, f));
    generate_users(c);
    generate_records(c, "defect", options.defects);
    generate_records(c, "feature", options.features);
    if (options.kind == ServerKind::corvane)
        generate_corvane_parts(c);
    else
        generate_vandor_parts(c);
}

void run(const Options& options) {
    std::error_code ignored;
    std::filesystem::remove(options.db, ignored);
    std::filesystem::remove(options.db + "-journal", ignored);
    Database db(options.db);
    // A fresh file built in one go: a crash leaves a file that is thrown away anyway.
    db.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;", "setup");
    create_schema(db, options.kind);
    if (!options.fixture.empty()) db.exec(read_text_file(options.fixture), options.fixture);
    generate(db, options);
    for (const auto& file : options.sqlFiles) db.exec(read_text_file(file), file);
    db.exec("COMMIT;", "commit");
}

}  // namespace

int main(int argc, char** argv) {
    try {
        run(parse_options(argc, argv));
        return 0;
    } catch (const Error& error) {
        std::fprintf(stderr, "simgen: %s\n", error.message().c_str());
        return 2;
    }
}
