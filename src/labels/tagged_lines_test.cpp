// Tagged values of the saved files and the line reader under them.
#include "tagged_lines.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tagsmith {
namespace {

TEST(TaggedValue, ReadsTheValueOfItsOwnTagOnly) {
    struct Case {
        std::string line;
        std::string tag;
        std::optional<std::string> value;
    };
    const std::vector<Case> cases = {
        // The element writer's length form, with ":" inside the value.
        {"LbType 12:RELEASE-R1.0", "LbType ", "RELEASE-R1.0"},
        {"LbType 9:REL-a:b:c", "LbType ", "REL-a:b:c"},
        {"DirName 9:my docs/x", "DirName ", "my docs/x"},
        {"LbType 3:abc:def", "LbType ", "abc"},
        // Prefixes that are no length (too long, not a number, empty, too big for any
        // line): the value ends at the next ":".
        {"LbType 20:REL-a:b", "LbType ", "REL-a"},
        {"LbType +3:abc", "LbType ", "abc"},
        {"LbType :abc", "LbType ", "abc"},
        {"LbType 99999999999999999999999:abc:d", "LbType ", "abc"},
        // Tagged lines without a value.
        {"LbType 0:abc", "LbType ", ""},
        {"LbType 3:", "LbType ", ""},
        {"LbType <error>", "LbType ", ""},
        // Not the tag: another letter case, a blank before it, a longer keyword, a block line.
        {"lbtype 3:abc", "LbType ", std::nullopt},
        {" LbType 3:abc", "LbType ", std::nullopt},
        {"LbTypes 3:abc", "LbType ", std::nullopt},
        {"LBTYPE_BEGIN", "LbType ", std::nullopt},
    };
    for (const Case& c : cases) {
        const auto value = tagged_value(c.line, c.tag);
        EXPECT_EQ(value ? std::optional<std::string>(*value) : std::nullopt, c.value) << c.line;
    }
}

// Writes `content` to a temporary file and returns every line the reader gives.
std::vector<std::string> read_all_lines(const std::string& content) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    std::fwrite(content.data(), 1, content.size(), file);
    std::rewind(file);
    LineReader reader(file);
    std::vector<std::string> lines;
    std::string line;
    while (reader.next(line)) lines.push_back(line);
    EXPECT_FALSE(reader.failed());
    std::fclose(file);
    return lines;
}

TEST(LineReader, SplitsLfAndCrLfFilesAlike) {
    struct Case {
        std::string name;
        std::string content;
        std::vector<std::string> lines;
    };
    const std::string longLine(200000, 'x');
    const std::string atChunkEnd(64 * 1024 - 1, 'y');  // its CR ends the first read, its LF starts the next
    const std::vector<Case> cases = {
        {"lf", "a\nb\n", {"a", "b"}},
        {"crlf", "a\r\nb\r\n", {"a", "b"}},
        {"unended last line", "a\r\nb", {"a", "b"}},
        {"empty file", "", {}},
        {"empty lines", "\n\r\n", {"", ""}},
        {"lone carriage return stays", "a\rb\n", {"a\rb"}},
        {"line longer than a read", longLine + "\nz\n", {longLine, "z"}},
        {"crlf split between reads", atChunkEnd + "\r\nnext", {atChunkEnd, "next"}},
    };
    for (const Case& c : cases) EXPECT_EQ(read_all_lines(c.content), c.lines) << c.name;
}

}  // namespace
}  // namespace tagsmith
