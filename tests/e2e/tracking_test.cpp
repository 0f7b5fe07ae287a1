// End-to-end runs of the defect, feature and users exports of ferrox_cvn and
// ferrox_vandor against the simulated server: whole import files, console text and the
// server's calls compared with the expected files of tests/e2e/expected/tracking.
#include <gtest/gtest.h>

#include "e2e_support.h"

namespace {

using e2e::SimKind;

// 25 configurable fields (the file carries the first 20) and notes at, past and below
// the 64000-byte limit.
const e2e::SimGenParams kDefects{.defects = 4, .configFields = 25, .noteSizes = {64000, 64001, 0}};
const e2e::SimGenParams kFeatures{.features = 4, .configFields = 25, .noteSizes = {64000, 64001, 0}};
// The generator's first users carry each awkward spelling of the superuser flag.
const e2e::SimGenParams kUsers{.users = 6, .noteSizes = {}};

// Overrides of a built-in pair and of a fallback, a new fallback; and a user map whose
// target is also a login of the server.
const std::string kValueMap = "# our workflow\nstate|Working|Opened\nstate|working|In Progress\nseverity|*|3-Average\n"
                              "symptom|Core_Dump|System Crash\n";
const std::map<std::string, std::string> kMerging{{"um.txt", "asmith|pobrien\n"}};

}  // namespace

TEST(TrackingExports, EachKindLayoutAndExportWritesTheWholeFile) {
    const std::vector<std::string> defects{"defectsExport.txt"}, features{"featuresExport.txt"},
        users{"usersExport.txt"};
    // The fixtures' defect 1003 has no note: the journal stays for a -resume, and the list names it.
    const std::vector<std::string> notFetched{"defectsExport.txt", "ferrox.journal", "notesNotFetched.txt"};
    // The users export takes "-map" as well: the parse wants two words at least. Raw,
    // configuration and notes files are consumed; an -infile file stays. The raw files of
    // an earlier run have CR LF line ends and an unended last line; users.raw a blank
    // line, blanks kept, spellings of the superuser flag; defects.raw values no table maps
    // exactly, empty ones, a quote in a name, and names repeated next to each other and
    // across the batches of notes.
    // clang-format off
    const e2e::ExpectedRun cases[] = {
        {"corvane_defects_map", SimKind::corvane, {"-defects", "-map"}, 0, notFetched},
        {"corvane_defects_nomap", SimKind::corvane, {"-defects", "-nomap"}, 0, notFetched},
        {"corvane_features_map", SimKind::corvane, {"-features", "-map"}, 0, features},
        {"corvane_features_nomap", SimKind::corvane, {"-features", "-nomap"}, 0, features},
        {"corvane_users", SimKind::corvane, {"-users", "-map"}, 0, users},
        {"corvane_users_plan", SimKind::corvane, {"-users", "-plan"}, 0, {}},
        {"vandor_defects_map", SimKind::vandor, {"-defects", "-map"}, 0, notFetched},
        {"vandor_defects_nomap", SimKind::vandor, {"-defects", "-nomap"}, 0, notFetched},
        {"vandor_features_map", SimKind::vandor, {"-features", "-map"}, 0, features},
        {"vandor_features_nomap", SimKind::vandor, {"-features", "-nomap"}, 0, features},
        {"vandor_users", SimKind::vandor, {"-users", "-map"}, 0, users},
        {"corvane_defects_generated", SimKind::corvane, {"-defects", "-nomap", "-o", "out.csv"}, 0, {"out.csv"}, {},
         {}, {}, &kDefects},
        {"vandor_features_generated", SimKind::vandor, {"-features", "-nomap"}, 0, features, {}, {}, {}, &kFeatures},
        {"corvane_users_generated", SimKind::corvane, {"-users", "-map"}, 0, users, {}, {}, {}, &kUsers},
        {"corvane_users_infile", SimKind::corvane, {"-users", "-map", "-infile", "u.raw"}, 0, {"u.raw", "usersExport.txt"},
         {{"u.raw", e2e::expected_text("tracking/users.raw")}}},
        {"corvane_defects_infile", SimKind::corvane, {"-defects", "-map", "-infile", "d.raw"}, 0,
         {"d.raw", "defectsExport.txt", "ferrox.journal", "notesNotFetched.txt", "unmappedValues.txt"},
         {{"d.raw", e2e::expected_text("tracking/defects.raw")}}},
        {"vandor_defects_report_fails", SimKind::vandor, {"-defects", "-map"}, 255, {"ferrox.journal"}, {},
         {{"SIM_FAIL", "DefectView"}}},
        // The report fails once and is tried again; 1001's note runs past the time limit both
        // times and 1003's fails both times: placeholders, named with each retry.
        {"corvane_defects_retries", SimKind::corvane, {"-defects", "-map", "-retries", "1", "-timeout", "1"}, 0,
         notFetched, {}, {{"SIM_FAULT", "2:fail"}, {"SIM_DELAY", "-view 1001 "}, {"SIM_DELAY_MS", "2500"}}},
        // Mapping files: logins and values mapped in every layout, what stayed unmapped
        // listed; a wrong or missing file stops the run before any server command, a
        // user map that would merge two accounts fails the export.
        {"corvane_defects_valuemap", SimKind::corvane, {"-defects", "-infile", "d.raw", "-valuemap", "vm.txt", "-usermap",
         "um.txt"}, 0, {"d.raw", "defectsExport.txt", "ferrox.journal", "notesNotFetched.txt", "um.txt", "unmappedValues.txt",
         "vm.txt"},
         {{"d.raw", e2e::expected_text("tracking/defects.raw")}, {"vm.txt", kValueMap}, {"um.txt", "pobrien|pat\n"}}},
        // The report of an earlier run is gone, with no report of this one.
        {"vandor_defects_nomap_usermap", SimKind::vandor, {"-defects", "-nomap", "-usermap", "um.txt"}, 0,
         {"defectsExport.txt", "ferrox.journal", "notesNotFetched.txt", "um.txt"},
         {{"um.txt", "asmith|ann.smith\n"}, {"unmappedValues.txt", ""}}},
        {"corvane_features_usermap", SimKind::corvane, {"-features", "-map", "-usermap", "um.txt"}, 0,
         {"featuresExport.txt", "um.txt"}, {{"um.txt", "asmith|ann.smith\njmuller|jm\n"}}},
        {"corvane_users_usermap", SimKind::corvane, {"-users", "-usermap", "um.txt", "-valuemap", "unused.txt"}, 0,
         {"um.txt", "usersExport.txt"}, {{"um.txt", "asmith|ann.smith\n"}}},
        {"vandor_defects_valuemap_refused", SimKind::vandor, {"-defects", "-valuemap", "vm.txt"}, 255, {"vm.txt"},
         {{"vm.txt", kValueMap + "priority|mustfix\n"}}},
        {"corvane_users_usermap_missing", SimKind::corvane, {"-users", "-map", "-usermap", "none.txt"}, 255},
        {"corvane_defects_usermap_merge", SimKind::corvane, {"-defects", "-map", "-usermap", "um.txt"}, 255,
         {"ferrox.journal", "um.txt"},
         kMerging},
        {"corvane_users_usermap_merge", SimKind::corvane, {"-users", "-map", "-usermap", "um.txt"}, 255,
         {"ferrox.journal", "um.txt"},
         kMerging},
    };
    // clang-format on
    for (const e2e::ExpectedRun& c : cases) e2e::check_run("tracking", c);
}
