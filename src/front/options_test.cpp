// Every rule of the option parse: accepted command lines and the settings they give,
// and each way a command line is refused. The end-to-end runs pin -release, -nomap,
// -target, -infile, -committedFile, too few words and a -release one past its field.
#include "options.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace {

// Every field of the record, so a case compares the whole outcome of a parse.
std::string dump(const RunSettings& s) {
    std::ostringstream out;
    out << "exportKind=" << static_cast<int>(s.exportKind) << " output=" << s.outputFileName
        << " map=" << s.mapValues << " crlf=" << s.crlf << " targetNT=" << s.targetNT
        << " partIndex=" << s.partIndex << " workAreas=" << s.workAreas
        << " revisionLabels=" << s.revisionLabels << " levelLabels=" << s.levelLabels
        << " sidLabels=" << s.sidLabels << " componentLabels=" << s.componentLabels
        << " allParts=" << s.allParts << " inFile=" << s.inFile << " committed=" << s.committedFile
        << " where=" << s.whereClause << " release=" << s.releaseName << " partSpec=" << s.partSpecFile
        << " since=" << s.sinceDate << " relSpec=" << s.relSpecFile << " query=" << s.queryText
        << " jobs=" << s.jobs << " retries=" << s.retries << " timeout=" << s.timeoutSeconds << " resume=" << s.resume
        << " progress=" << s.progress << " plan=" << s.plan;
    return out.str();
}

std::vector<std::string> command_line(std::vector<std::string> words) {
    words.insert(words.begin(), "ferrox_cvn");
    return words;
}

std::string text_of(std::size_t length) { return std::string(length, 'x'); }

// A -since of 31 characters: a date and time, and what follows it unread.
const std::string kLongestSince = "2020/01/02 03:04:05" + text_of(kMaxSinceDateLength - 19);

}  // namespace

TEST(ParseOptions, AcceptedCommandLinesGiveTheseSettings) {
    struct Case {
        std::vector<std::string> words;
        std::function<void(RunSettings&)> expect;  // applied to the defaults after a parse's start
    };
    auto parts = [](RunSettings& s) {
        s.exportKind = ExportKind::Parts;
        s.outputFileName = "partsExport.txt";
    };
    const Case cases[] = {
        // An explicit -o wins wherever it stands; the last one counts.
        {{"-o", "other.txt", "-o", "mine.txt", "-defects"},
         [](RunSettings& s) { s.exportKind = ExportKind::Defects; s.outputFileName = "mine.txt"; }},
        {{"-features", "-users"},
         [](RunSettings& s) { s.exportKind = ExportKind::Users; s.outputFileName = "usersExport.txt"; }},
        {{"-nomap", "-map"}, [](RunSettings&) {}},
        {{"-crlf", "-workareas", "-revisionlabels", "-levellabels", "-sidlabels", "-componentlabels"},
         [](RunSettings& s) { s.crlf = s.workAreas = s.revisionLabels = s.sidLabels = s.componentLabels = true; }},
        // No export option at all is a valid command line; -query is stored only.
        {{"-query", "select anything"}, [](RunSettings& s) { s.queryText = "select anything"; }},
        {{"-partindex", "12abc"}, [](RunSettings& s) { s.partIndex = 12; }},
        {{"-partindex", " +7"}, [](RunSettings& s) { s.partIndex = 7; }},
        {{"-partindex", "2147483647"}, [](RunSettings& s) { s.partIndex = 2147483647; }},
        {{"-where", "a=1", "-where", "b=2"}, [](RunSettings& s) { s.whereClause = "b=2"; }},
        {{"-parts", "-partspec", "p.txt", "-relspec", "r.txt", "-since", "2020/01/02 03:04:05"}, [&](RunSettings& s) {
             parts(s); s.partSpecFile = "p.txt"; s.allParts = false; s.relSpecFile = "r.txt";
             s.sinceDate = "2020/01/02 03:04:05";
         }},
        // A second release selection skips "-release" alone; the next word is an option.
        {{"-parts", "-relspec", "r.txt", "-release", "-crlf"},
         [&](RunSettings& s) { parts(s); s.relSpecFile = "r.txt"; s.crlf = true; }},
        // Values exactly as long as their field allows.
        {{"-parts", "-release", text_of(kMaxReleaseNameLength), "-since", kLongestSince},
         [&](RunSettings& s) { parts(s); s.releaseName = text_of(kMaxReleaseNameLength); s.sinceDate = kLongestSince; }},
        {{"-where", text_of(kMaxWhereClauseLength), "-o", text_of(kMaxTextOptionLength)}, [](RunSettings& s) {
             s.whereClause = text_of(kMaxWhereClauseLength); s.outputFileName = text_of(kMaxTextOptionLength);
         }},
        {{"-partindex", std::string(kMaxPartIndexLength - 1, '0') + "5"}, [](RunSettings& s) { s.partIndex = 5; }},
        // The ranges' ends; a -since of any separators, or without its time of day.
        {{"-retries", "10", "-timeout", "1000000", "-resume", "-progress"},
         [](RunSettings& s) { s.retries = 10; s.timeoutSeconds = 1000000; s.resume = s.progress = true; }},
        {{"-retries", "0", "-timeout", "1", "-plan"}, [](RunSettings& s) { s.timeoutSeconds = 1; s.plan = true; }},
        {{"-parts", "-since", "2024-02-29T23:59:60"}, [&](RunSettings& s) { parts(s); s.sinceDate = "2024-02-29T23:59:60"; }},
        {{"-parts", "-since", "2019/04/06 "}, [&](RunSettings& s) { parts(s); s.sinceDate = "2019/04/06 "; }},
    };
    for (const Case& c : cases) {
        RunSettings parsed;
        RunSettings expected;
        expected.mapValues = 1;
        c.expect(expected);
        EXPECT_EQ(parse_options(command_line(c.words), parsed), 0) << ::testing::PrintToString(c.words);
        EXPECT_EQ(dump(parsed), dump(expected)) << ::testing::PrintToString(c.words);
    }
}

TEST(ParseOptions, RefusedCommandLines) {
    const std::vector<std::vector<std::string>> cases = {
        // Unknown words; options are case-sensitive and exact.
        {"-bogus", "-defects"},
        {"-defects", "-bogus"},
        {"-DEFECTS", "-map"},
        // Missing or empty values.
        {"-defects", "-o"},
        {"-defects", "-o", ""},
        {"-parts", "-release"},
        // -target takes exactly NT or UNIX.
        {"-defects", "-target", "Unix"},
        // A batch size below 1, or one that does not fit.
        {"-defects", "-partindex", "0"},
        {"-defects", "-partindex", "abc"},
        {"-defects", "-partindex", "-4"},
        {"-defects", "-partindex", "2147483648"},
        // Parts-only options before -parts or with another export kind.
        {"-release", "R1", "-parts"},
        {"-relspec", "r.txt", "-parts"},
        {"-defects", "-release", "R1"},
        {"-parts", "-defects", "-partspec", "p.txt"},
        // -release and -relspec exclude each other.
        {"-parts", "-relspec", "r.txt", "-release", "R1"},
        {"-parts", "-release", "R1", "-relspec", "r.txt"},
        {"-parts", "-relspec", "a.txt", "-relspec", "b.txt"},
        // A value map needs values to map, wherever -nomap stands.
        {"-valuemap", "v.txt", "-defects", "-nomap"},
        {"-defects", "-nomap", "-valuemap", "v.txt"},
        // Values longer than their field are refused, never cut.
        {"-parts", "-since", text_of(kMaxSinceDateLength + 1)},
        {"-defects", "-partindex", std::string(kMaxPartIndexLength, '0') + "5"},
        {"-defects", "-target", text_of(kMaxTargetLength + 1)},
        {"-defects", "-where", text_of(kMaxWhereClauseLength + 1)},
        {"-defects", "-o", text_of(kMaxTextOptionLength + 1)},
        {"-parts", "-relspec", text_of(kMaxTextOptionLength + 1)},
        // Counts out of their ranges or not whole numbers; -plan exports nothing to resume.
        {"-defects", "-jobs", "0"},
        {"-defects", "-jobs", "65"},
        {"-defects", "-retries", "11"},
        {"-defects", "-retries", "1x"},
        {"-defects", "-timeout", "0"},
        {"-defects", "-timeout", "1000001"},
        {"-defects", "-plan", "-resume"},
        // A -since that names no time: words, a part missing or out of its range.
        {"-parts", "-since", "yesterday"},
        {"-parts", "-since", "2019/13/01"},
        {"-parts", "-since", "2019/00/01"},
        {"-parts", "-since", "2019/04"},
        {"-parts", "-since", "2019/02/29"},
        {"-parts", "-since", "2019/04/31 10:00:00"},
        {"-parts", "-since", "2019/04/06 24:00:00"},
        {"-parts", "-since", "2019/04/06 10:60"},
        {"-parts", "-since", "2019/04/06 10:00:xx"},
        {"-parts", "-since", "-019/04/06"},
    };
    for (const auto& words : cases) {
        RunSettings settings;
        EXPECT_EQ(parse_options(command_line(words), settings), -1) << ::testing::PrintToString(words);
    }
}
