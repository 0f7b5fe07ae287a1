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

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

TEST_F(CommandFileTest, ReplacedFileKeepsItsPermissions) {
    write("out.txt", "old\n");
    fs::permissions(path("out.txt"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    CommandFile file;
    ASSERT_TRUE(file.open(path("out.txt")));
    file.write("new\n");
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(read("out.txt"), "new\n");
    EXPECT_EQ(fs::status(path("out.txt")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

#ifndef _WIN32
TEST_F(CommandFileTest, SymbolicLinkStaysALinkToTheNewContents) {
    fs::create_directories(dir_ / "real");
    write("real/out.txt", "old\n");
    fs::create_symlink(dir_ / "real" / "out.txt", dir_ / "link.txt");
    CommandFile file;
    ASSERT_TRUE(file.open(path("link.txt")));
    file.write("new\n");
    ASSERT_TRUE(file.commit());
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir_ / "link.txt")));
    EXPECT_EQ(read("real/out.txt"), "new\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"link.txt", "real"}));
}

// A target that is no regular file, such as a pipe or the null device, is written into
// and never replaced by a regular file.
TEST_F(CommandFileTest, PipeTargetIsWrittenDirectly) {
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    // A reader that does not block, so the writer can open the pipe and the test can
    // never hang; the few bytes fit in the pipe's buffer.
    int reader = ::open(path("pipe").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    CommandFile file;
    ASSERT_TRUE(file.open(path("pipe")));
    file.write("sbxcmd mklabel L .\n\n");
    EXPECT_TRUE(file.commit());
    char buffer[256];
    ssize_t got = ::read(reader, buffer, sizeof buffer);
    ::close(reader);
    EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<std::size_t>(got) : 0), "sbxcmd mklabel L .\n\n");
    EXPECT_TRUE(fs::is_fifo(fs::status(path("pipe"))));
    EXPECT_EQ(names(), std::vector<std::string>{"pipe"});
}
#endif

}  // namespace
}  // namespace tagsmith
