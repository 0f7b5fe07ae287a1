// The command file through a link or into a pipe. Its replacement whole, keeping the
// permissions and the user's files, is pinned by the end-to-end tagsmith runs.
#include "command_file.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "scratch_folder.h"

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
    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    void write(const std::string& name, const std::string& text) const { test_folder::write_text(path(name), text); }
    std::string read(const std::string& name) const { return test_folder::read_text(path(name)); }
    std::vector<std::string> names() const { return folder_.files(); }

    test_folder::ScratchFolder folder_;
    const fs::path& dir_ = folder_.path();
};

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
