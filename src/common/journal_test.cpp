// The journal as a killed run leaves it: whole entries read back byte for byte, an entry
// cut short dropped, and a resumed journal going on after the last whole entry. What the
// entries mean to the exports is pinned by the end-to-end resume runs.
#include "journal.h"

#include <gtest/gtest.h>

#include "test_support.h"

TEST(Journal, ReadsEveryWholeEntryAndGoesOnAfterTheLast) {
    test_support::InScratchDir dir;
    const std::string first = encode_journal_entry("ferrox-journal", {"server", "Corvane"});
    const std::string note = encode_journal_entry("note", {"0", "10|01", std::string("a\n2:\0b 9\n", 9)});
    const std::string whole = first + note;
    // Cut in the tag line, in the payload, before the closing line end; and whole.
    for (std::size_t cut : {first.size() + 3, first.size() + 12, whole.size() - 1, whole.size()}) {
        test_support::write_text(kJournalFile, whole.substr(0, cut));
        std::optional<JournalContents> read = Journal::read(kJournalFile);
        ASSERT_TRUE(read);
        const bool all = cut == whole.size();
        EXPECT_EQ(read->length, all ? whole.size() : first.size()) << cut;
        EXPECT_EQ(read->first, (std::vector<std::string>{"server", "Corvane"}));
        Journal journal;
        std::string why;
        ASSERT_TRUE(journal.resume(kJournalFile, std::move(*read), why));
        const auto notes = journal.numbered("note");  // the note of record 0, when whole
        const std::vector<std::string> fields{"0", "10|01", std::string("a\n2:\0b 9\n", 9)};
        EXPECT_EQ(notes.count(0) ? journal.fields(notes.at(0)) : std::vector<std::string>{},
                  all ? fields : std::vector<std::string>{})
            << cut;
    }
    // Resumed after an entry cut short, the journal goes on where the whole ones end.
    test_support::write_text(kJournalFile, whole + "part 9\n1:");
    Journal journal;
    std::string why;
    ASSERT_TRUE(journal.resume(kJournalFile, *Journal::read(kJournalFile), why));
    journal.add("part", {"1", ""});
    journal.close(false);
    EXPECT_EQ(test_support::read_text(kJournalFile), whole + "part 5\n1:10:\n");
    // An entry whose length does not end at a line end is no entry, nor anything after it.
    test_support::write_text(kJournalFile, first + "note 3\n1:ab\n" + note);
    EXPECT_EQ(Journal::read(kJournalFile)->length, first.size());
    test_support::write_text(kJournalFile, "no journal\n");
    EXPECT_FALSE(Journal::read(kJournalFile));
}
