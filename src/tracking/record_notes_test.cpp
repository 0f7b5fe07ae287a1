// Note commands, note reading at the size limit, and the notes column.
#include "record_notes.h"

#include <gtest/gtest.h>

#include "tracking_test_support.h"

using tracking_test::ExportTest;

TEST(NotesCommand, QuotesTheNameSoNoServerValueChangesTheCommand) {
    struct Case {
        ServerKind server;
        ExportKind kind;
        std::string name;
        std::string command;
    };
    const Case cases[] = {
        {ServerKind::Corvane, ExportKind::Defects, "1001",
         "corv defect -view '1001' -long > 'defect1001.out'"},
        {ServerKind::Vandor, ExportKind::Defects, "1001",
         "Defect -view '1001' -long > 'defect1001.out'"},
        {ServerKind::Corvane, ExportKind::Features, "f7",
         "corv feature -view 'f7' -long > 'featuref7.out'"},
        {ServerKind::Vandor, ExportKind::Features, "f7",
         "Feature -view 'f7' -long > 'featuref7.out'"},
        {ServerKind::Corvane, ExportKind::Defects, "1;touch x",
         "corv defect -view '1;touch x' -long > 'defect1;touch x.out'"},
        {ServerKind::Vandor, ExportKind::Defects, "it's",
         "Defect -view 'it'\\''s' -long > 'defectit'\\''s.out'"},
    };
    for (const Case& c : cases) {
        const std::string command = compose_notes_command(c.server, c.kind, c.name);
        EXPECT_EQ(command, c.command);
        // Whatever the name, the interpreter sees it as one word, twice.
        const std::vector<std::string> words = tracking_test::shell_words(command);
        ASSERT_EQ(words.size(), 6u + (c.server == ServerKind::Corvane)) << command;
        EXPECT_EQ(words[words.size() - 4], c.name);
        EXPECT_EQ(words.back(), notes_file_name(c.kind, c.name));
    }
}

TEST(ReadNote, JoinsCrLfPairsAndKeepsAtMostTheLimit) {
    struct Case {
        const char* what;
        std::string file;
        std::string note;
        std::size_t length;
    };
    const std::string limit(kNoteLimit, 'n');
    // A CR LF pair that straddles the reader's 64 KiB chunks still becomes one LF.
    const std::string straddling = std::string(65535, 'a') + "\r\nb";
    const Case cases[] = {
        {"empty", "", "", 0},
        {"crlf", "one\r\ntwo\r\n", "one\ntwo\n", 10},
        {"lone cr kept", "a\rb\r", "a\rb\r", 4},
        {"exactly the limit", limit, limit, kNoteLimit},
        {"one past the limit", limit + "x", limit, kNoteLimit + 1},
        {"crlf within the limit", std::string(kNoteLimit - 2, 'n') + "\r\n",
         std::string(kNoteLimit - 2, 'n') + "\n", kNoteLimit},
        {"crlf pair cut by the limit", std::string(kNoteLimit - 1, 'n') + "\r\nmore",
         std::string(kNoteLimit - 1, 'n') + "\n", kNoteLimit + 5},
        {"cr just past the limit", limit + "\r\n", limit, kNoteLimit + 2},
        {"counted across chunks", straddling, std::string(kNoteLimit, 'a'), 65538},
        {"crlf pairs before the limit", "x\r\n" + limit, "x\n" + limit.substr(0, kNoteLimit - 3),
         kNoteLimit + 3},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.file);
        std::string note = "stale";
        EXPECT_EQ(read_note(in, note), c.length) << c.what;
        // Compared as a truth value: a failure must not print 64 KB of text.
        EXPECT_TRUE(note == c.note) << c.what << ": " << note.size() << " bytes";
    }
}

TEST(NotesColumn, QuotesTheNoteOrNamesTheMigration) {
    EXPECT_EQ(notes_column(""), "\"Migrated Note\"");
    EXPECT_EQ(notes_column("said \"no\"\nthen left"), "\"said \"\"no\"\"\nthen left\"");
}

class FetchNotes : public ExportTest {};

TEST_F(FetchNotes, AnnouncesOnlyANoteThatIsCut) {
    settings.exportKind = ExportKind::Features;
    settings.serverKind = ServerKind::Vandor;
    server.notes["full"] = std::string(kNoteLimit, 'x');
    server.notes["over"] = std::string(kNoteLimit + 1, 'y');
    std::string note;
    EXPECT_EQ(fetch_record_notes(ctx, "full", note), 0);
    EXPECT_EQ(note.size(), kNoteLimit);
    EXPECT_EQ(console.outText, "");
    EXPECT_EQ(fetch_record_notes(ctx, "over", note), 0);
    EXPECT_EQ(note, std::string(kNoteLimit, 'y'));
    EXPECT_EQ(console.outText,
              "\nNote size\t for defect over is 64001, will be truncated to 64000");
    EXPECT_TRUE(files().empty()) << "scratch notes file left behind";
}

TEST_F(FetchNotes, RecordsWithoutAFetchableNote) {
    struct Case {
        ExportKind kind;
        std::string name;
        bool commandRun;
        int result;
        std::string message;
    };
    server.failing["gone"] = true;
    server.notes["blank"] = "";
    const Case cases[] = {
        {ExportKind::Defects, "", false, -1, ""},
        {ExportKind::Defects, "gone", true, -1, "\nDefect Information Not Found for Defect gone\n"},
        {ExportKind::Features, "gone", true, -1,
         "\nFeature Information Not Found for Feature gone\n"},
        {ExportKind::Defects, "blank", true, 0, ""},
        {ExportKind::Defects, "../etc/x", false, -1,
         "\nWARNING: Defect ../etc/x has a name that cannot be part of a file name; its note "
         "is not exported\n"},
        {ExportKind::Features, "a/b", false, -1,
         "\nWARNING: Feature a/b has a name that cannot be part of a file name; its note is "
         "not exported\n"},
    };
    for (const Case& c : cases) {
        settings.exportKind = c.kind;
        server.commands.clear();
        console.outText.clear();
        std::string note = "stale";
        EXPECT_EQ(fetch_record_notes(ctx, c.name, note), c.result) << c.name;
        EXPECT_EQ(note, "") << c.name;
        EXPECT_EQ(server.commands.size(), c.commandRun ? 1u : 0u) << c.name;
        EXPECT_EQ(console.outText, c.message) << c.name;
        EXPECT_TRUE(files().empty()) << c.name;
    }
}
