// Note reading at the size limit, and the note command's scratch file, which no export
// shows. The commands themselves are pinned by the end-to-end runs, where names that the
// interpreter would take as code are exported too.
#include "record_notes.h"

#include <gtest/gtest.h>

#include <sstream>


TEST(NotesCommand, NamesItsScratchFileAfterTheKindAndTheRecord) {
    EXPECT_EQ(compose_notes_command(ServerKind::Vandor, ExportKind::Defects, "it's"),
              "Defect -view 'it'\\''s' -long > 'defectit'\\''s.out'");
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
