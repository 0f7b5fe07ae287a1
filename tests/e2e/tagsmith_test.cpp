// End-to-end runs of tagsmith on small saved files: the whole console text, the exit
// status and the whole command file are compared with the expected files of
// tests/e2e/expected/tagsmith.
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"

namespace {

namespace fs = std::filesystem;

std::string expected(const std::string& name) { return e2e::expected_text("tagsmith/" + name); }

/// Every file of the folder with its content.
std::map<std::string, std::string> folder_contents(const fs::path& dir) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::directory_iterator(dir))
        contents[entry.path().filename().string()] = e2e::read_text(entry.path());
    return contents;
}

const std::vector<std::string> kStandardArgs = {"SavedDirsFile.txt", "SavedLabelsFile.txt", "labels.cmd"};

constexpr fs::perms kCommandFilePerms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;

/// The saved files of case `stem` in a fresh folder, beside a command file of an earlier
/// run (with permissions a replacement must keep) and a file of the user's named like
/// the replacement's temporary file.
std::map<std::string, std::string> saved_files(const e2e::ScratchDir& dir, const std::string& stem) {
    const std::map<std::string, std::string> files{{"SavedDirsFile.txt", expected(stem + ".dirs")},
                                                   {"SavedLabelsFile.txt", expected(stem + ".labels")},
                                                   {"labels.cmd", "commands of an earlier run\n"},
                                                   {"labels.cmd.partial", "a file of the user's\n"}};
    for (const auto& [name, text] : files) e2e::write_text(dir / name, text);
    fs::permissions(dir / "labels.cmd", kCommandFilePerms);
    return files;
}

}  // namespace

// Runs that read both saved files (NAME.dirs and NAME.labels): the status, the whole
// console text (NAME.console) and command file (NAME.cmd); the saved files stay as they were.
TEST(Tagsmith, WritesOneCommandPerDirectoryAndLabel) {
    const std::tuple<const char*, int, std::vector<std::string>> cases[] = {
        // A labels file written on Windows reads like one written elsewhere.
        {"crlf_labels", 0, kStandardArgs},
        // Lines without a usable value, another letter case, a leading blank, a NUL byte
        // (no argument can hold one).
        {"unusable_lines", 0, kStandardArgs},
        // The length form with ":" inside a value; prefixes that are no length (too long,
        // signed, empty, too big for any line), where the value ends at the next ":";
        // lines that are not the tag.
        {"tag_values", 0, kStandardArgs},
        // Saved files cut short inside a block: the earlier command file stays.
        {"labels_cut", 1, kStandardArgs},
        {"dirs_cut", 1, kStandardArgs},
        {"no_labels", 1, kStandardArgs},
        {"no_dirs", 1, kStandardArgs},
        // One file may serve as both inputs; it is read once for each.
        {"one_file", 0, {"SavedLabelsFile.txt", "SavedLabelsFile.txt", "labels.cmd"}},
    };
    for (const auto& [stem, status, args] : cases) {
        SCOPED_TRACE(stem);
        e2e::ScratchDir dir;
        std::map<std::string, std::string> files = saved_files(dir, stem);
        e2e::RunResult result = e2e::run_program(e2e::program("tagsmith"), args, e2e::program_options(dir.path()));
        EXPECT_EQ(result.status, status);
        EXPECT_EQ(result.out, expected(std::string(stem) + ".console"));
        EXPECT_EQ(result.err, "");
        // A command file written is the platform's text; one refused stays as it was.
        const std::string commands = expected(std::string(stem) + ".cmd");
        files["labels.cmd"] = status == 0 && e2e::under_wine() ? e2e::to_crlf(commands) : commands;
        EXPECT_EQ(folder_contents(dir.path()), files);
        if (!e2e::under_wine()) {
            EXPECT_EQ(fs::status(dir / "labels.cmd").permissions(), kCommandFilePerms);
        }
    }
}

// Refused command lines: the message, status 1, and no file created or changed; help:
// status 0, no file either.
TEST(Tagsmith, RefusesBadArgumentsWithoutTouchingAnyFile) {
    const std::string validating = "\n---> Validating the command line arguments\n\n";
    const std::string sameName = validating +
                                 "ERROR: Cannot specify the same file name as both input and output file parameter\n"
                                 "       Verify the command line parameters.\n";
    auto cannotOpen = [&](const std::string& name) {
        return validating + "ERROR: Could not open file " + name + "\n" +
               "       Verify the correct spelling of command line parameters.\n";
    };
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, expected("usage.console")},
        {{"SavedDirsFile.txt", "SavedLabelsFile.txt", "labels.cmd", "x"}, expected("usage.console")},
        {{"SavedDirsFile.txt", "nolabels.txt", "labels.cmd"}, cannotOpen("nolabels.txt")},
        {{"SavedDirsFile.txt", "SavedLabelsFile.txt", "SavedDirsFile.txt"}, sameName},
        // Another spelling of an input, or a link to it, is that input all the same.
        {{"SavedDirsFile.txt", "SavedLabelsFile.txt", "./SavedLabelsFile.txt"}, sameName},
        {{"SavedDirsFile.txt", "SavedLabelsFile.txt", "sub/../SavedDirsFile.txt"}, sameName},
        {{"SavedDirsFile.txt", "SavedLabelsFile.txt", "link.txt"}, sameName},
        {{"SavedDirsFile.txt", "SavedLabelsFile.txt", "nofolder/labels.cmd"}, cannotOpen("nofolder/labels.cmd")},
        {{"-h"}, expected("help.console")},
        {{"--help"}, expected("help.console")},
    };
    for (const auto& [args, out] : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        e2e::ScratchDir dir;
        saved_files(dir, "crlf_labels");
        fs::create_directory(dir / "sub");
        fs::create_symlink("SavedLabelsFile.txt", dir / "link.txt");
        auto before = folder_contents(dir.path());
        e2e::RunResult result = e2e::run_program(e2e::program("tagsmith"), args, e2e::program_options(dir.path()));
        EXPECT_EQ(result.status, args.size() == 1 ? 0 : 1);
        EXPECT_EQ(result.out, out);
        EXPECT_EQ(folder_contents(dir.path()), before);
    }
}

// A full disk (a file size limit, SIGXFSZ ignored) while the command file is written.
TEST(Tagsmith, AWriteFailureFailsTheRunAndKeepsTheEarlierCommandFile) {
    if (e2e::under_wine()) GTEST_SKIP() << "a file size limit (ulimit, SIGXFSZ)";
    e2e::ScratchDir dir;
    saved_files(dir, "crlf_labels");
    std::string dirs;
    for (int i = 0; i < 200; ++i) dirs += expected("crlf_labels.dirs");
    e2e::write_text(dir / "SavedDirsFile.txt", dirs);
    for (int blocks : {0, 1, 8, 32}) {
        e2e::write_text(dir / "labels.cmd", "commands of an earlier run\n");
        const std::vector<std::string> words = {"-c", "(trap '' XFSZ; ulimit -f " + std::to_string(blocks) +
                                                          "; \"$0\" \"$@\"; echo \"status=$?\") | cat",
                                                e2e::bin_dir() + "/tagsmith", "SavedDirsFile.txt", "SavedLabelsFile.txt",
                                                "labels.cmd"};
        const std::string out = e2e::run_program("/bin/sh", words, {dir.path()}).out;
        EXPECT_TRUE(out.ends_with("ERROR: Could not write file labels.cmd\nstatus=1\n")) << out.substr(out.size() - 200);
        EXPECT_EQ(folder_contents(dir.path()).at("labels.cmd"), "commands of an earlier run\n");
        EXPECT_EQ(folder_contents(dir.path()).size(), 4u);
    }
}
