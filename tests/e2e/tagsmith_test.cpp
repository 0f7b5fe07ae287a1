// End-to-end runs of tagsmith on small saved files: the whole console text, the exit
// status and the whole command file (or its absence) are compared.
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"

namespace {

namespace fs = std::filesystem;

// A saved labels file as the parts export writes it, globals left out.
const std::string kLabels =
    "TYPES_BEGIN\n"
    "LBTYPE_BEGIN\n"
    "LbType 16:CVN-RELEASE-R1.0\n"
    "LBTYPE_END\n"
    "BRTYPE_BEGIN\n"
    "BrType 14:CVN-BRANCH-dev\n"
    "BRTYPE_END\n"
    "LBTYPE_BEGIN\n"
    "LbType 13:CVN-DRIVER-wa\n"
    "LBTYPE_END\n"
    "TYPES_END\n";

const std::string kDirs =
    "DIR_BEGIN\nDirName 1:.\nDIR_END\n"
    "DIR_BEGIN\nDirName 3:src\nDIR_END\n"
    "DIR_BEGIN\nDirName 7:src/lib\nDIR_END\n";

const std::string kValidating = "\n---> Validating the command line arguments\n\n";

const std::string kHead =
    kValidating +
    "Dir file SavedDirsFile.txt\n"
    "Label file SavedLabelsFile.txt\n"
    "\n---> Generating List of labels\n\n";

const std::string kTail =
    "The generated file is: labels.cmd\n"
    "\n Go to the sabrex quarn directory and execute this command file.\n";

const std::string kUsage =
    "Error Missing parameters:\n"
    "\n"
    "Usage:\n"
    "  tagsmith  dirsFile   labelsFile\n"
    "         where:\n"
    "            dirsFile    -  is the full pathname of the saved directories file\n"
    "                                 from the execution of ferrox_vandor or ferrox_cvn.\n"
    "            labelsFile  -  is the full pathname of the saved labels file\n"
    "                                 from the execution of ferrox_vandor or ferrox_cvn.\n"
    "            outputFile  -  is the full pathname of the output file to be generated.\n"
    "                                 Populated with mklabel commands.\n";

std::string to_crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

e2e::RunResult run_tagsmith(const fs::path& dir, const std::vector<std::string>& args) {
    e2e::RunOptions options;
    options.cwd = dir;
    options.simOnPath = false;
    return e2e::run_program(e2e::bin_dir() + "/tagsmith", args, options);
}

/// Every file of the folder with its content.
std::map<std::string, std::string> folder_contents(const fs::path& dir) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::directory_iterator(dir))
        contents[entry.path().filename().string()] = e2e::read_text(entry.path());
    return contents;
}

const std::vector<std::string> kStandardArgs = {"SavedDirsFile.txt", "SavedLabelsFile.txt", "labels.cmd"};

// Runs that read both saved files: whole console text, status and command file.
TEST(Tagsmith, WritesOneCommandPerDirectoryAndLabel) {
    struct Case {
        std::string name;
        std::string dirs;
        std::string labels;
        int status;
        std::string out;
        std::optional<std::string> commands;  // nothing: no command file may exist
    };
    const std::string sixCommands =
        "sbxcmd mklabel CVN-RELEASE-R1.0 .\n\n"
        "sbxcmd mklabel CVN-DRIVER-wa .\n\n"
        "sbxcmd mklabel CVN-RELEASE-R1.0 src\n\n"
        "sbxcmd mklabel CVN-DRIVER-wa src\n\n"
        "sbxcmd mklabel CVN-RELEASE-R1.0 src/lib\n\n"
        "sbxcmd mklabel CVN-DRIVER-wa src/lib\n\n";
    const std::string twoLabels =
        "Label: CVN-RELEASE-R1.0\n"
        "Label: CVN-DRIVER-wa\n"
        "\nNumber of Labels found: 2\n\n";
    const std::string threeDirs =
        "\n---> Start processing Directories\n\n"
        "  Processing Directory: .\n\n"
        "  Processing Directory: src\n\n"
        "  Processing Directory: src/lib\n\n"
        "\nNumber of Directories processed: 3\n\n";
    const std::vector<Case> cases = {
        // A labels file written on Windows reads like one written elsewhere.
        {"two labels by three directories", kDirs, to_crlf(kLabels), 0, kHead + twoLabels + threeDirs + kTail,
         sixCommands},
        // No argument can hold a NUL byte.
        {"lines without a usable value, other letter case, leading blank",
         "DirName <error>\nDirName 3:src\ndirname 1:x\n" + std::string("DirName 3:a\0b\n", 14),
         "LbType 0:\nLbType 2:L1\n LbType 2:L2\nLBTYPE 2:L3\nLbType 2:L1\n" + std::string("LbType 3:a\0b\n", 13), 0,
         kHead + "WARNING: Line 1 of file SavedLabelsFile.txt carries no value and is skipped\n"
                 "Label: L1\nLabel: L1\n"
                 "WARNING: Line 6 of file SavedLabelsFile.txt carries a value the command interpreter cannot pass "
                 "and is skipped\n"
                 "\nNumber of Labels found: 2\n\n" +
             "\n---> Start processing Directories\n\n"
             "WARNING: Line 1 of file SavedDirsFile.txt carries no value and is skipped\n"
             "  Processing Directory: src\n\n"
             "WARNING: Line 4 of file SavedDirsFile.txt carries a value the command interpreter cannot pass "
             "and is skipped\n"
             "\nNumber of Directories processed: 1\n\n" + kTail,
         "sbxcmd mklabel L1 src\n\nsbxcmd mklabel L1 src\n\n"},
        // Saved files cut short inside a block: the earlier command file stays.
        {"labels file cut", kDirs, kLabels.substr(0, 142), 1,
         kHead + "Label: CVN-RELEASE-R1.0\nLabel: CVN-DRI\nERROR: File SavedLabelsFile.txt ends inside a LBTYPE block: "
                 "it was cut short; run the parts export again\n",
         "commands of an earlier run\n"},
        {"directories file cut", kDirs.substr(0, 51), kLabels, 1,
         kHead + twoLabels + "\n---> Start processing Directories\n\n  Processing Directory: .\n\n" +
             "  Processing Directory: s\n\nERROR: File SavedDirsFile.txt ends inside a DIR block: it was cut short; "
             "run the parts export again\n",
         "commands of an earlier run\n"},
        {"no labels", kDirs, "LBTYPE_BEGIN\nLBTYPE_END\n", 1,
         kHead + "\nNumber of Labels found: 0\n\n"
                 "ERROR: No labels were read from file SavedLabelsFile.txt\n"
                 "       Verify the file contains LbType tags\n",
         ""},
        {"no directories", "DIR_BEGIN\nDIR_END\n", kLabels, 1,
         kHead + twoLabels + "\n---> Start processing Directories\n\n" +
             "\nNumber of Directories processed: 0\n\n"
             "ERROR: No Directorie were read from file SavedDirsFile.txt\n"
             "       Verify the file contains DirName tags\n",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        e2e::ScratchDir dir;
        e2e::write_text(dir / "SavedDirsFile.txt", c.dirs);
        e2e::write_text(dir / "SavedLabelsFile.txt", c.labels);
        e2e::write_text(dir / "labels.cmd", "commands of an earlier run\n");
        e2e::RunResult result = run_tagsmith(dir.path(), kStandardArgs);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, "");
        std::map<std::string, std::string> expected = {
            {"SavedDirsFile.txt", c.dirs}, {"SavedLabelsFile.txt", c.labels}};
        if (c.commands) expected["labels.cmd"] = *c.commands;
        EXPECT_EQ(folder_contents(dir.path()), expected);
    }
}

// Refused command lines: the message, status 1, and no file created or changed.
TEST(Tagsmith, RefusesBadArgumentsWithoutTouchingAnyFile) {
    const std::string sameName =
        "ERROR: Cannot specify the same file name as both input and output file parameter\n"
        "       Verify the command line parameters.\n";
    auto cannotOpen = [](const std::string& name) {
        return "ERROR: Could not open file " + name + "\n" +
               "       Verify the correct spelling of command line parameters.\n";
    };
    struct Case {
        std::string name;
        std::vector<std::string> args;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"no arguments", {}, kUsage},
        {"four arguments", {"SavedDirsFile.txt", "SavedLabelsFile.txt", "labels.cmd", "x"}, kUsage},
        {"missing labels file", {"SavedDirsFile.txt", "nolabels.txt", "labels.cmd"},
         kValidating + cannotOpen("nolabels.txt")},
        {"output named like the directories file", {"SavedDirsFile.txt", "SavedLabelsFile.txt", "SavedDirsFile.txt"},
         kValidating + sameName},
        // Another spelling of an input is that input all the same.
        {"output spelled ./ like the labels file", {"SavedDirsFile.txt", "SavedLabelsFile.txt", "./SavedLabelsFile.txt"},
         kValidating + sameName},
        {"output through a folder and ..", {"SavedDirsFile.txt", "SavedLabelsFile.txt", "sub/../SavedDirsFile.txt"},
         kValidating + sameName},
        {"output a link to the labels file", {"SavedDirsFile.txt", "SavedLabelsFile.txt", "link.txt"},
         kValidating + sameName},
        {"output in a missing folder", {"SavedDirsFile.txt", "SavedLabelsFile.txt", "nofolder/labels.cmd"},
         kValidating + cannotOpen("nofolder/labels.cmd")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        e2e::ScratchDir dir;
        e2e::write_text(dir / "SavedDirsFile.txt", kDirs);
        e2e::write_text(dir / "SavedLabelsFile.txt", kLabels);
        fs::create_directory(dir / "sub");
        fs::create_symlink("SavedLabelsFile.txt", dir / "link.txt");
        auto before = folder_contents(dir.path());
        e2e::RunResult result = run_tagsmith(dir.path(), c.args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(folder_contents(dir.path()), before);
    }
}

// A full disk (a file size limit, SIGXFSZ ignored) while the command file is written.
TEST(Tagsmith, AWriteFailureFailsTheRunAndKeepsTheEarlierCommandFile) {
    e2e::ScratchDir dir;
    std::string dirs;
    for (int i = 0; i < 200; ++i) dirs += kDirs;
    e2e::write_text(dir / "SavedDirsFile.txt", dirs);
    e2e::write_text(dir / "SavedLabelsFile.txt", kLabels);
    for (int blocks : {0, 1, 8, 32}) {
        e2e::write_text(dir / "labels.cmd", "commands of an earlier run\n");
        const std::vector<std::string> words = {"-c", "(trap '' XFSZ; ulimit -f " + std::to_string(blocks) +
                                                          "; \"$0\" \"$@\"; echo \"status=$?\") | cat",
                                                e2e::bin_dir() + "/tagsmith", "SavedDirsFile.txt", "SavedLabelsFile.txt",
                                                "labels.cmd"};
        e2e::RunOptions options;
        options.cwd = dir.path();
        const std::string out = e2e::run_program("/bin/sh", words, options).out;
        EXPECT_TRUE(out.ends_with("ERROR: Could not write file labels.cmd\nstatus=1\n")) << out.substr(out.size() - 200);
        EXPECT_EQ(folder_contents(dir.path()).at("labels.cmd"), "commands of an earlier run\n");
        EXPECT_EQ(folder_contents(dir.path()).size(), 3u);
    }
}

// One file may serve as both inputs; it is read once for each.
TEST(Tagsmith, ReadsOneFileAsBothInputs) {
    e2e::ScratchDir dir;
    e2e::write_text(dir / "saved.txt", "LbType 2:L1\nDirName 1:.\nLbType 2:L2\nDirName 1:a\n");
    e2e::RunResult result = run_tagsmith(dir.path(), {"saved.txt", "saved.txt", "out.sh"});
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_EQ(e2e::read_text(dir / "out.sh"),
              "sbxcmd mklabel L1 .\n\nsbxcmd mklabel L2 .\n\nsbxcmd mklabel L1 a\n\nsbxcmd mklabel L2 a\n\n");
}

}  // namespace
