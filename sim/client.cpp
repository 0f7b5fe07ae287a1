// The simulated server client: one program that answers as corv, cvnselect, Report,
// Defect, Feature or File, by running the received report against a SQLite database.
//
// It is started once per server command, so it does as little as it can: open the
// database read-only, prepare one statement, stream the rows to stdout.
//
// It builds for Linux and, as a Windows program, for runs of the Windows exporter under
// wine: there cmd.exe hands it the command line and the C runtime splits it into argv,
// as it does for a real Windows client.
#include <fcntl.h>
#include <sqlite3.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <regex>
#else
#include <regex.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

enum class Kind { corvane, vandor };

/// Exit statuses the tests rely on.
constexpr int kAnswered = 0;
constexpr int kFailed = 1;    // injected failure, or a record that does not exist
constexpr int kRefused = 2;   // unknown command shape, bad database, failing SQL

/// Rows end as a program's text output does on its platform (notes are written as stored).
#ifdef _WIN32
constexpr std::string_view kRowEnd = "\r\n";
#else
constexpr std::string_view kRowEnd = "\n";
#endif

struct Invocation {
    std::string name;               // base name of argv[0]
    std::vector<std::string> args;  // argv[1..]
};

/// What one command asks for, after its shape has been recognised.
struct Request {
    enum class Type { testServer, select, configInfo, longView } type = Type::select;
    std::string sql;         // select: the statement to run
    std::string recordKind;  // configInfo, longView: "defect" or "feature"
    std::string recordName;  // longView
};

class Failure {
public:
    Failure(int status, std::string message) : status_(status), message_(std::move(message)) {}
    int status() const { return status_; }
    const std::string& message() const { return message_; }

private:
    int status_;
    std::string message_;
};

std::string base_name(const char* path) {
    std::string_view text(path);
#ifdef _WIN32
    // The name as typed or as found on PATH: either separator, with or without ".exe".
    auto slash = text.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? text : text.substr(slash + 1);
    if (name.size() > 4 && _stricmp(std::string(name.substr(name.size() - 4)).c_str(), ".exe") == 0)
        name.remove_suffix(4);
    return std::string(name);
#else
    auto slash = text.rfind('/');
    return std::string(slash == std::string_view::npos ? text : text.substr(slash + 1));
#endif
}

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

/// The log line: invocation name, then each argument after one blank, as received.
std::string log_line(const Invocation& inv) {
    std::string line = inv.name;
    for (const auto& arg : inv.args) {
        line += ' ';
        line += arg;
    }
    return line;
}

/// Appends the log line and returns the log's size just after it (0 when it could not
/// be written).
long long append_log(const char* path, const std::string& line) {
    std::string record = line + "\n";
    long long end = 0;
#ifdef _WIN32
    // Calls running side by side append one at a time: wine does not make an append-only
    // write land whole at the end, so a lock on a byte far past any line serialises them,
    // and the size after the write is then the end of this call's own line.
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    OVERLAPPED lockAt{};
    lockAt.OffsetHigh = 0x7FFFFFFF;
    const bool locked = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockAt);
    DWORD written = 0;
    LARGE_INTEGER size{};
    if (SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_END) &&
        WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr) &&
        GetFileSizeEx(file, &size))
        end = size.QuadPart;
    if (locked) UnlockFileEx(file, 0, 1, 0, &lockAt);
    CloseHandle(file);
#else
    int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return 0;
    // One write with O_APPEND keeps lines of concurrent calls whole, and the offset
    // after it is the end of this call's own line whatever the others append.
    if (::write(fd, record.data(), record.size()) == static_cast<ssize_t>(record.size()))
        end = ::lseek(fd, 0, SEEK_CUR);
    ::close(fd);
#endif
    return end;
}

/// The call's number, counted from 1 over every call that logged to `path`: the lines
/// of the log up to `end`, the end of this call's line. Read only where a fault needs
/// it, since the log grows with every call.
long call_number(const char* path, long long end) {
    long number = 0;
    if (std::FILE* log = std::fopen(path, "rb")) {
        char chunk[65536];
        while (end > 0) {
            const std::size_t got = std::fread(
                chunk, 1, static_cast<std::size_t>(std::min<long long>(end, sizeof chunk)), log);
            if (got == 0) break;
            number += static_cast<long>(std::count(chunk, chunk + got, '\n'));
            end -= static_cast<long long>(got);
        }
        std::fclose(log);
    }
    return number;
}

/// True when the environment variable holds a regex matching `line`; a bad regex is
/// refused so that a typo in a test does not silently disable the injection.
bool env_regex_matches(const char* variable, const std::string& line) {
    const char* pattern = std::getenv(variable);
    if (pattern == nullptr) return false;
#ifdef _WIN32
    // No regex.h there; the standard library's POSIX extended grammar is the same language.
    try {
        const std::regex regex(pattern, std::regex::extended | std::regex::nosubs);
        return std::regex_search(line, regex);
    } catch (const std::regex_error& error) {
        throw Failure(kRefused, std::string(variable) + " is not a valid regular expression: " + error.what());
    }
#else
    regex_t regex;
    int rc = ::regcomp(&regex, pattern, REG_EXTENDED | REG_NOSUB);
    if (rc != 0) {
        char text[256];
        ::regerror(rc, &regex, text, sizeof text);
        throw Failure(kRefused, std::string(variable) + " is not a valid regular expression: " + text);
    }
    bool matched = ::regexec(&regex, line.c_str(), 0, nullptr, 0) == 0;
    ::regfree(&regex);
    return matched;
#endif
}

void delay_ms(long ms) {
    if (ms <= 0) return;
#ifdef _WIN32
    Sleep(static_cast<DWORD>(ms));
#else
    timespec wait{ms / 1000, (ms % 1000) * 1000000L};
    while (::nanosleep(&wait, &wait) != 0) {
    }
#endif
}

Failure unknown_shape(const Invocation& inv) {
    return Failure(kRefused, "unknown command: " + log_line(inv));
}

bool is_identifier(const std::string& text) {
    if (text.empty()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        bool digit = c >= '0' && c <= '9';
        if (!letter && !(digit && i > 0)) return false;
    }
    return true;
}

/// Recognises the report command's options: -testServer, -raw -view V [-where C],
/// -general V -select L [-where C].
Request parse_report(const Invocation& inv, const std::vector<std::string>& words) {
    Request request;
    if (words.size() == 1 && words[0] == "-testServer") {
        request.type = Request::Type::testServer;
        return request;
    }
    std::size_t at = 0;
    std::string columns;
    std::string view;
    if (words.size() >= 3 && words[0] == "-raw" && words[1] == "-view") {
        view = words[2];
        columns = "*";
        at = 3;
    } else if (words.size() >= 4 && words[0] == "-general" && words[2] == "-select") {
        view = words[1];
        columns = words[3];
        at = 4;
    } else {
        throw unknown_shape(inv);
    }
    if (!is_identifier(view)) throw unknown_shape(inv);
    request.sql = "SELECT " + columns + " FROM " + view;
    if (at + 2 == words.size() && words[at] == "-where")
        request.sql += " WHERE " + words[at + 1];
    else if (at != words.size())
        throw unknown_shape(inv);
    return request;
}

/// Recognises the record commands: -configInfo -raw and -view N -long.
Request parse_record(const Invocation& inv, const std::vector<std::string>& words,
                     const std::string& recordKind) {
    Request request;
    request.recordKind = recordKind;
    if (words.size() == 2 && words[0] == "-configInfo" && words[1] == "-raw") {
        request.type = Request::Type::configInfo;
        return request;
    }
    if (words.size() == 3 && words[0] == "-view" && words[2] == "-long") {
        request.type = Request::Type::longView;
        request.recordName = words[1];
        return request;
    }
    throw unknown_shape(inv);
}

/// The command word and its options; for corv the word is the first argument.
Request parse_request(const Invocation& inv, Kind kind) {
    if (inv.name == "cvnselect") {
        if (inv.args.size() != 1) throw unknown_shape(inv);
        Request request;
        request.sql = "SELECT " + inv.args[0];
        return request;
    }
    std::string word;
    std::vector<std::string> words;
    if (kind == Kind::corvane) {
        if (inv.args.empty()) throw unknown_shape(inv);
        word = lower(inv.args[0]);
        words.assign(inv.args.begin() + 1, inv.args.end());
    } else {
        word = lower(inv.name);
        words = inv.args;
    }
    if (word == "report") return parse_report(inv, words);
    if (word == "defect" || word == "feature") return parse_record(inv, words, word);
    throw unknown_shape(inv);
}

/// Owns the database connection and the one statement of the call.
class Database {
public:
    explicit Database(const std::string& path) {
        int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
        if (rc != SQLITE_OK) {
            std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
            // A failed open still hands back a handle that must be closed; the
            // destructor does not run for a constructor that throws.
            sqlite3_close(db_);
            db_ = nullptr;
            throw Failure(kRefused, "cannot open server database " + path + ": " + why);
        }
    }
    ~Database() {
        if (stmt_) sqlite3_finalize(stmt_);
        sqlite3_close(db_);
    }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void prepare(const std::string& sql) {
        if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr) !=
            SQLITE_OK)
            throw sql_failure(sql);
        sql_ = sql;
    }
    void bind(int index, const std::string& value) {
        sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
    }
    /// True while there is a row; throws on an error during the query.
    bool step() {
        int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw sql_failure(sql_);
    }
    sqlite3_stmt* statement() const { return stmt_; }

private:
    Failure sql_failure(const std::string& sql) const {
        return Failure(kRefused, "SQL error in \"" + sql + "\": " + sqlite3_errmsg(db_));
    }

    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    std::string sql_;
};

/// Where an answer goes: stdout, or this text when a fault is to cut the answer short.
std::string* captured = nullptr;

void write_out(const void* data, std::size_t size) {
    if (captured) {
        captured->append(static_cast<const char*>(data), size);
        return;
    }
    if (size > 0 && std::fwrite(data, 1, size, stdout) != size)
        throw Failure(kRefused, "cannot write the answer");
}

/// SIM_FAULT="K:fail|truncate|kill": what the K-th call of the log does instead of answering.
enum class Fault { none, fail, truncate, kill };

Fault fault_of_call(long number) {
    const char* spec = std::getenv("SIM_FAULT");
    if (spec == nullptr) return Fault::none;
    char* rest = nullptr;
    const long wanted = std::strtol(spec, &rest, 10);
    const std::string mode = *rest == ':' ? rest + 1 : "";
    if (wanted < 1 || (mode != "fail" && mode != "truncate" && mode != "kill") || !std::getenv("SIM_LOG"))
        throw Failure(kRefused, "SIM_FAULT must be K:fail, K:truncate or K:kill, with SIM_LOG set");
    if (number != wanted) return Fault::none;
    return mode == "fail" ? Fault::fail : mode == "truncate" ? Fault::truncate : Fault::kill;
}

/// Writes the first half of the answer, then fails or dies as the fault says.
int cut_answer(const std::string& answer, Fault fault) {
    std::fwrite(answer.data(), 1, answer.size() / 2, stdout);
    std::fflush(stdout);
    if (fault == Fault::kill) {
#ifdef _WIN32
        TerminateProcess(GetCurrentProcess(), 9);
#else
        ::raise(SIGKILL);
#endif
    }
    return kFailed;
}

/// Streams every row: fields joined by "|", NULL as empty, one row per line.
void print_rows(Database& db) {
    sqlite3_stmt* stmt = db.statement();
    int columns = sqlite3_column_count(stmt);
    while (db.step()) {
        for (int i = 0; i < columns; ++i) {
            if (i > 0) write_out("|", 1);
            const unsigned char* text = sqlite3_column_text(stmt, i);
            if (text) write_out(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, i)));
        }
        write_out(kRowEnd.data(), kRowEnd.size());
    }
}

int answer(Kind kind, const Request& request) {
    const char* familyVariable = kind == Kind::corvane ? "CVN_FAMILY" : "VANDOR_FAMILY";
    const char* family = std::getenv(familyVariable);
    if (family == nullptr) throw Failure(kRefused, std::string(familyVariable) + " not set");
    // SQLite would take an empty name for a private, empty database: a server it is not.
    if (*family == '\0') throw Failure(kRefused, std::string(familyVariable) + " names no server");
    Database db(family);

    switch (request.type) {
    case Request::Type::testServer:
        // Opening is lazy: reading the schema proves the file is a database.
        db.prepare("SELECT count(*) FROM sqlite_master");
        db.step();
        return kAnswered;
    case Request::Type::select:
        db.prepare(request.sql);
        print_rows(db);
        return kAnswered;
    case Request::Type::configInfo:
        db.prepare("SELECT line FROM configInfo WHERE recordKind = ?1 ORDER BY seq");
        db.bind(1, request.recordKind);
        print_rows(db);
        return kAnswered;
    case Request::Type::longView: {
        db.prepare("SELECT note FROM " + request.recordKind + "Long WHERE name = ?1");
        db.bind(1, request.recordName);
        if (!db.step())
            throw Failure(kFailed, "no " + request.recordKind + " named " + request.recordName);
        sqlite3_stmt* stmt = db.statement();
        const void* note = sqlite3_column_blob(stmt, 0);
        if (note) write_out(note, static_cast<std::size_t>(sqlite3_column_bytes(stmt, 0)));
        return kAnswered;
    }
    }
    return kRefused;
}

std::optional<Kind> kind_of(const std::string& name) {
    if (name == "corv" || name == "cvnselect") return Kind::corvane;
    if (name == "Report" || name == "Defect" || name == "Feature" || name == "File")
        return Kind::vandor;
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    Invocation inv;
    inv.name = base_name(argc > 0 ? argv[0] : "");
    for (int i = 1; i < argc; ++i) inv.args.emplace_back(argv[i]);

    static char outBuffer[1 << 16];
    std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);
#ifdef _WIN32
    // Every byte as written: rows carry their own line ends and notes are kept as stored.
    _setmode(_fileno(stdout), _O_BINARY);
#endif

    const std::string line = log_line(inv);
    try {
        long number = 0;
        if (const char* log = std::getenv("SIM_LOG")) {
            const long long end = append_log(log, line);
            if (std::getenv("SIM_FAULT")) number = call_number(log, end);
        }
        // Which calls the client's migration variable reached.
        if (const char* envLog = std::getenv("SIM_ENV_LOG")) {
            const char* migrate = std::getenv("CVN_MIGRATE");
            append_log(envLog, (migrate ? "CVN_MIGRATE=" + std::string(migrate) : std::string("-")) + " " + line);
        }
        // A client that talks on its error stream, as real ones do.
        if (env_regex_matches("SIM_SAY", line)) std::fprintf(stderr, "%s: said for %s\n", inv.name.c_str(), line.c_str());
        if (env_regex_matches("SIM_DELAY", line)) {
            const char* ms = std::getenv("SIM_DELAY_MS");
            delay_ms(ms ? std::strtol(ms, nullptr, 10) : 0);
        }
        if (env_regex_matches("SIM_FAIL", line)) return kFailed;
        const Fault fault = fault_of_call(number);
        if (fault == Fault::fail) return kFailed;
        std::string held;
        if (fault != Fault::none) captured = &held;

        auto kind = kind_of(inv.name);
        if (!kind) throw unknown_shape(inv);
        int status = answer(*kind, parse_request(inv, *kind));
        if (fault != Fault::none) return cut_answer(held, fault);
        if (std::fflush(stdout) != 0) throw Failure(kRefused, "cannot write the answer");
        return status;
    } catch (const Failure& failure) {
        // Rows streamed before a failing step stay in the output; the status tells.
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", inv.name.c_str(), failure.message().c_str());
        return failure.status();
    }
}
