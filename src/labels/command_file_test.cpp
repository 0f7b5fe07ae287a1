// The command file appears whole under its name, or not at all.
#include "command_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tagsmith {
namespace {

namespace fs = std::filesystem;

class CommandFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tagsmith-unit-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::vector<std::string> names() const {
        std::vector<std::string> all;
        for (const auto& entry : fs::directory_iterator(dir_)) all.push_back(entry.path().filename().string());
        std::sort(all.begin(), all.end());
        return all;
    }

    fs::path dir_;
};

TEST_F(CommandFileTest, CommitReplacesTheTargetAndLeavesNoTemporaryFile) {
    write("out.txt", "old contents\n");
    CommandFile file;
    ASSERT_TRUE(file.open(path("out.txt")));
    // More than one block, so the data goes out in several writes.
    std::string line = "sbxcmd mklabel CVN-R1 src/lib\n\n";
    std::string expected;
    while (expected.size() < 3 * 1024 * 1024) {
        file.write(line);
        expected += line;
    }
    EXPECT_EQ(read("out.txt"), "old contents\n");  // untouched until the commit
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(read("out.txt"), expected);
    EXPECT_EQ(names(), std::vector<std::string>{"out.txt"});
}

TEST_F(CommandFileTest, DroppedFileLeavesTheTargetAsItWas) {
    write("out.txt", "old contents\n");
    {
        CommandFile file;
        ASSERT_TRUE(file.open(path("out.txt")));
        file.write("half a command");
    }
    EXPECT_EQ(read("out.txt"), "old contents\n");
    EXPECT_EQ(names(), std::vector<std::string>{"out.txt"});

    CommandFile neverCommitted;
    ASSERT_TRUE(neverCommitted.open(path("new.txt")));
    neverCommitted.discard();
    EXPECT_EQ(names(), std::vector<std::string>{"out.txt"});
}

TEST_F(CommandFileTest, TemporaryNameNeverTakesAnExistingFile) {
    write("out.txt.partial", "a file of the user's\n");
    CommandFile file;
    ASSERT_TRUE(file.open(path("out.txt")));
    EXPECT_EQ(file.temporary_name(), path("out.txt.partial1"));
    file.write("x\n");
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(read("out.txt.partial"), "a file of the user's\n");
    EXPECT_EQ(read("out.txt"), "x\n");
}

TEST_F(CommandFileTest, OpenFailsWhereNoFileCanBeCreated) {
    CommandFile file;
    EXPECT_FALSE(file.open(path("missing-folder/out.txt")));
    EXPECT_FALSE(file.commit());
}

}  // namespace
}  // namespace tagsmith
