// The option parse of ferrox: one table of options, tested in a fixed order.
#include "options.h"

#include <climits>
#include <optional>

#include "number_text.h"

namespace {

struct ParseState {
    const std::vector<std::string>& args;
    std::size_t next = 1;  // index of the next unread word
    RunSettings& settings;
    bool releaseSelected = false;            // -release or -relspec seen
    std::optional<std::string> outputFile;   // the last -o
    std::string why;                         // what made the parse fail
};

bool refuse(ParseState& state, std::string why) {
    state.why = std::move(why);
    return false;
}

/// The option word just read, quoted for messages.
std::string option_word(const ParseState& state) { return "\"" + state.args[state.next - 1] + "\""; }

/// Takes the word after the option as its value. A missing, empty or over-long value
/// fails; nothing is cut.
bool take_value(ParseState& state, std::size_t maxLength, std::string& value) {
    if (state.next >= state.args.size()) return refuse(state, option_word(state) + " needs a value after it");
    const std::string& word = state.args[state.next];
    if (word.empty()) return refuse(state, option_word(state) + " needs a value that is not empty");
    if (word.size() > maxLength)
        return refuse(state, "the value of " + option_word(state) + " is longer than " + std::to_string(maxLength) +
                                 " characters");
    value = word;
    ++state.next;
    return true;
}

bool set_export_kind(ParseState& state, ExportKind kind, const char* outputFile) {
    state.settings.exportKind = kind;
    state.settings.outputFileName = outputFile;
    return true;
}

/// -release, -partspec, -since, -verify and -relspec belong to a parts export named
/// before them.
bool parts_chosen(ParseState& state) {
    if (state.settings.exportKind == ExportKind::Parts) return true;
    return refuse(state, option_word(state) + " must come after \"-parts\"");
}

/// A whole number of at most kMaxPartIndexLength digits and nothing else in
/// [low, high], or nothing.
std::optional<int> count_value(ParseState& state, long long low, long long high) {
    std::string text;
    if (!take_value(state, kMaxPartIndexLength, text)) return std::nullopt;
    const bool digits = text.find_first_not_of("0123456789") == std::string::npos;
    const long long number = digits ? atoi_at(text) : -1;
    if (number < low || number > high) {
        refuse(state, option_word(state) + " needs a number from " + std::to_string(low) + " to " +
                          std::to_string(high) + ", not \"" + text + "\"");
        return std::nullopt;
    }
    return static_cast<int>(number);
}

/// An option whose value is a whole number in [Low, High] for the field `Field`.
template <int RunSettings::*Field, int Low, int High>
bool count_option(ParseState& state) {
    const std::optional<int> count = count_value(state, Low, High);
    if (count) state.settings.*Field = *count;
    return count.has_value();
}

/// True when a number in atoi's reading (white space, a sign, digits) starts at `at`.
bool digits_at(const std::string& text, std::size_t at) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    return at < text.size() && text[at] >= '0' && text[at] <= '9';
}

bool leap_year(long long year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

}  // namespace

std::string since_date_problem(const std::string& text) {
    struct Field {
        std::size_t at;
        const char* name;
        long long low, high;
    };
    // Where the history steps read each number; what stands between them is not read.
    const Field fields[] = {{0, "year", 1, 9999}, {5, "month", 1, 12},   {8, "day", 1, 31},
                            {11, "hour", 0, 23},  {14, "minute", 0, 59}, {17, "second", 0, 60}};
    long long values[6] = {};
    for (std::size_t i = 0; i < 6; ++i) {
        const Field& field = fields[i];
        // A date alone means its midnight: the time of day may be left off at the end.
        if (i >= 3 && field.at >= text.size()) break;
        if (!digits_at(text, field.at))
            return std::string("no ") + field.name + " at character " + std::to_string(field.at + 1);
        values[i] = atoi_at(text, field.at);
        if (values[i] < field.low || values[i] > field.high)
            return std::string("the ") + field.name + " " + std::to_string(values[i]) + " is out of range";
    }
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const long long month = values[1], day = values[2];
    if (day > kDays[month - 1] || (month == 2 && day == 29 && !leap_year(values[0])))
        return "the day " + std::to_string(day) + " is out of range";
    return {};
}

namespace {

struct OptionRule {
    const char* name;
    bool (*apply)(ParseState&);  // false fails the parse
};

// In the order in which the words are tested.
const OptionRule kOptions[] = {
    {"-defects", [](ParseState& s) { return set_export_kind(s, ExportKind::Defects, kDefectsOutputFile); }},
    {"-features", [](ParseState& s) { return set_export_kind(s, ExportKind::Features, kFeaturesOutputFile); }},
    {"-users", [](ParseState& s) { return set_export_kind(s, ExportKind::Users, kUsersOutputFile); }},
    {"-parts", [](ParseState& s) { return set_export_kind(s, ExportKind::Parts, kPartsOutputFile); }},
    {"-nomap", [](ParseState& s) { s.settings.mapValues = 0; return true; }},
    {"-map", [](ParseState& s) { s.settings.mapValues = 1; return true; }},
    {"-crlf", [](ParseState& s) { s.settings.crlf = true; return true; }},
    {"-workareas", [](ParseState& s) { s.settings.workAreas = true; return true; }},
    {"-revisionlabels", [](ParseState& s) { s.settings.revisionLabels = true; return true; }},
    {"-levellabels", [](ParseState& s) { s.settings.levelLabels = true; return true; }},
    {"-sidlabels", [](ParseState& s) { s.settings.sidLabels = true; return true; }},
    {"-componentlabels", [](ParseState& s) { s.settings.componentLabels = true; return true; }},
    {"-o",
     [](ParseState& s) {
         std::string name;
         if (!take_value(s, kMaxTextOptionLength, name)) return false;
         s.outputFile = name;
         return true;
     }},
    {"-partindex",
     [](ParseState& s) {
         std::string text;
         if (!take_value(s, kMaxPartIndexLength, text)) return false;
         // Read the way users have always had it (atoi's). The value is the batch size
         // of the part list queries: below 1 nothing would ever be queried, and beyond
         // int it would wrap to some unrelated size.
         const long long number = atoi_at(text);
         if (number < 1 || number > INT_MAX)
             return refuse(s, "\"-partindex\" needs a number of at least 1, not \"" + text + "\"");
         s.settings.partIndex = static_cast<int>(number);
         return true;
     }},
    {"-jobs", count_option<&RunSettings::jobs, 1, kMaxJobs>},
    {"-target",
     [](ParseState& s) {
         std::string word;
         if (!take_value(s, kMaxTargetLength, word)) return false;
         if (word == "UNIX") {
             s.settings.targetNT = false;
             return true;
         }
         if (word == "NT") {
             s.settings.targetNT = true;
             return true;
         }
         return refuse(s, "\"-target\" takes NT or UNIX, not \"" + word + "\"");
     }},
    // Accepted and stored for old scripts; nothing reads it.
    {"-query", [](ParseState& s) { return take_value(s, kMaxTextOptionLength, s.settings.queryText); }},
    {"-infile", [](ParseState& s) { return take_value(s, kMaxTextOptionLength, s.settings.inFile); }},
    {"-committedFile",
     [](ParseState& s) { return take_value(s, kMaxTextOptionLength, s.settings.committedFile); }},
    {"-where", [](ParseState& s) { return take_value(s, kMaxWhereClauseLength, s.settings.whereClause); }},
    {"-valuemap", [](ParseState& s) { return take_value(s, kMaxTextOptionLength, s.settings.valueMapFile); }},
    {"-usermap", [](ParseState& s) { return take_value(s, kMaxTextOptionLength, s.settings.userMapFile); }},
    {"-release",
     [](ParseState& s) {
         if (!parts_chosen(s)) return false;
         // A second release selection is passed over without its value: the name
         // that follows is then read as an option and normally fails the parse.
         if (s.releaseSelected) return true;
         if (!take_value(s, kMaxReleaseNameLength, s.settings.releaseName)) return false;
         s.releaseSelected = true;
         return true;
     }},
    {"-partspec",
     [](ParseState& s) {
         if (!parts_chosen(s) || !take_value(s, kMaxTextOptionLength, s.settings.partSpecFile)) return false;
         s.settings.allParts = false;
         return true;
     }},
    {"-since",
     [](ParseState& s) {
         if (!parts_chosen(s) || !take_value(s, kMaxSinceDateLength, s.settings.sinceDate)) return false;
         // A date that cannot be read would be taken as some other time (or none) and
         // silently export the wrong versions.
         const std::string problem = since_date_problem(s.settings.sinceDate);
         if (problem.empty()) return true;
         return refuse(s, "\"-since\" needs a date and time as YYYY/MM/DD HH:MM:SS, not \"" + s.settings.sinceDate +
                              "\": " + problem);
     }},
    {"-verify",
     [](ParseState& s) { return parts_chosen(s) && take_value(s, kMaxTextOptionLength, s.settings.verifyFile); }},
    {"-relspec",
     [](ParseState& s) {
         if (!parts_chosen(s)) return false;
         if (s.releaseSelected) return refuse(s, "\"-relspec\" cannot follow \"-release\" or \"-relspec\"");
         if (!take_value(s, kMaxTextOptionLength, s.settings.relSpecFile)) return false;
         s.releaseSelected = true;
         return true;
     }},
    {"-retries", count_option<&RunSettings::retries, 0, kMaxRetries>},
    {"-timeout", count_option<&RunSettings::timeoutSeconds, 1, kMaxTimeoutSeconds>},
    {"-resume", [](ParseState& s) { s.settings.resume = true; return true; }},
    {"-progress", [](ParseState& s) { s.settings.progress = true; return true; }},
    {"-plan", [](ParseState& s) { s.settings.plan = true; return true; }},
};

}  // namespace

int parse_options(const std::vector<std::string>& args, RunSettings& settings, std::string* why) {
    settings.mapValues = 1;
    settings.outputFileName.clear();
    settings.queryText.clear();
    settings.inFile.clear();
    settings.partSpecFile.clear();
    settings.relSpecFile.clear();

    ParseState state{args, 1, settings, false, std::nullopt, {}};
    auto fail = [&]() {
        if (why) *why = state.why;
        return -1;
    };
    if (args.size() <= 2) {
        state.why = "at least two words must follow the program name";
        return fail();
    }
    while (state.next < args.size()) {
        const std::string& word = args[state.next++];
        const OptionRule* rule = nullptr;
        for (const OptionRule& candidate : kOptions) {
            if (word == candidate.name) {
                rule = &candidate;
                break;
            }
        }
        if (!rule) {
            state.why = "\"" + word + "\" is not an option";
            return fail();
        }
        if (!rule->apply(state)) return fail();
    }
    // -nomap writes the server's own values, so a value map there would be ignored.
    if (!settings.valueMapFile.empty() && settings.mapValues == 0) {
        state.why = "\"-valuemap\" maps the values of a -map export; it cannot go with \"-nomap\"";
        return fail();
    }
    if (settings.plan && settings.resume) {
        state.why = "\"-plan\" and \"-resume\" exclude each other: a plan exports nothing to go on from";
        return fail();
    }
    // An explicit -o names the file wherever it stands; an export kind option only
    // gives the default.
    if (state.outputFile) settings.outputFileName = *state.outputFile;
    return 0;
}

bool is_help_request(const std::vector<std::string>& args) {
    for (std::size_t i = 1; i < args.size(); ++i)
        if (args[i] == "-h" || args[i] == "--help" || args[i] == "/?") return true;
    return false;
}
