// The line reader under the saved files at its edges. LF, CR LF and unended lines, and
// the tagged values it gives, are pinned by the end-to-end tagsmith runs.
#include "tagged_lines.h"

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tagsmith {
namespace {

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
