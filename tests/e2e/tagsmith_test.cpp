// End-to-end runs of tagsmith on small saved files: the whole console text, the exit
// status and the whole command file (or its absence) are compared.
#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kLabels =
    "EXPORT_FORMAT 5\n"
    "GLOBALS_BEGIN\n"
    "ExportFromDir 9:/work/exp\n"
    "NumElements 0\n"
    "NumVersions 0\n"
    "ExporterKind 12\n"
    "NeedCmd 4:corv\n"
    "GLOBALS_END\n"
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

std::map<std::string, std::string> folder_contents(const fs::path& dir) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::directory_iterator(dir))
        contents[entry.path().filename().string()] = e2e::read_file(entry.path());
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
        {"two labels by three directories", kDirs, kLabels, 0, kHead + twoLabels + threeDirs + kTail, sixCommands},
        {"files written on Windows", to_crlf(kDirs), to_crlf(kLabels), 0, kHead + twoLabels + threeDirs + kTail,
         sixCommands},
        {"unended last lines", "DirName 1:.\nDirName 3:src", "LbType 2:L1\nLbType 2:L2", 0,
         kHead + "Label: L1\nLabel: L2\n\nNumber of Labels found: 2\n\n" +
             "\n---> Start processing Directories\n\n"
             "  Processing Directory: .\n\n  Processing Directory: src\n\n"
             "\nNumber of Directories processed: 2\n\n" + kTail,
         "sbxcmd mklabel L1 .\n\nsbxcmd mklabel L2 .\n\nsbxcmd mklabel L1 src\n\nsbxcmd mklabel L2 src\n\n"},
        {"values with colons, blanks and quotes", "DirName 7:my docs\nDirName 7:a:b/c:d\nDirName 6:say \"x",
         "LbType 9:REL-a:b:c\nLbType 20:REL-b:rest\nLbType 8:$HOME:v1", 0,
         kHead + "Label: REL-a:b:c\nLabel: REL-b\nLabel: $HOME:v1\n\nNumber of Labels found: 3\n\n" +
             "\n---> Start processing Directories\n\n"
             "  Processing Directory: my docs\n\n  Processing Directory: a:b/c:d\n\n"
             "  Processing Directory: say \"x\n\n"
             "\nNumber of Directories processed: 3\n\n" + kTail,
         "sbxcmd mklabel REL-a:b:c \"my docs\"\n\n"
         "sbxcmd mklabel REL-b \"my docs\"\n\n"
         "sbxcmd mklabel \"\\$HOME:v1\" \"my docs\"\n\n"
         "sbxcmd mklabel REL-a:b:c a:b/c:d\n\n"
         "sbxcmd mklabel REL-b a:b/c:d\n\n"
         "sbxcmd mklabel \"\\$HOME:v1\" a:b/c:d\n\n"
         "sbxcmd mklabel REL-a:b:c \"say \\\"x\"\n\n"
         "sbxcmd mklabel REL-b \"say \\\"x\"\n\n"
         "sbxcmd mklabel \"\\$HOME:v1\" \"say \\\"x\"\n\n"},
        {"lines without a value, other letter case, leading blank", "DirName <error>\nDirName 3:src\ndirname 1:x\n",
         "LbType 0:\nLbType 2:L1\n LbType 2:L2\nLBTYPE 2:L3\nLbType 2:L1\n", 0,
         kHead + "WARNING: Line 1 of file SavedLabelsFile.txt carries no value and is skipped\n"
                 "Label: L1\nLabel: L1\n\nNumber of Labels found: 2\n\n" +
             "\n---> Start processing Directories\n\n"
             "WARNING: Line 1 of file SavedDirsFile.txt carries no value and is skipped\n"
             "  Processing Directory: src\n\n"
             "\nNumber of Directories processed: 1\n\n" + kTail,
         "sbxcmd mklabel L1 src\n\nsbxcmd mklabel L1 src\n\n"},
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
        e2e::write_file(dir / "SavedDirsFile.txt", c.dirs);
        e2e::write_file(dir / "SavedLabelsFile.txt", c.labels);
        e2e::write_file(dir / "labels.cmd", "commands of an earlier run\n");
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
        {"two arguments", {"SavedDirsFile.txt", "SavedLabelsFile.txt"}, kUsage},
        {"four arguments", {"SavedDirsFile.txt", "SavedLabelsFile.txt", "labels.cmd", "x"}, kUsage},
        {"missing directories file", {"nodirs.txt", "SavedLabelsFile.txt", "labels.cmd"},
         kValidating + cannotOpen("nodirs.txt")},
        {"missing labels file", {"SavedDirsFile.txt", "nolabels.txt", "labels.cmd"},
         kValidating + cannotOpen("nolabels.txt")},
        {"output named like the labels file", {"SavedDirsFile.txt", "SavedLabelsFile.txt", "SavedLabelsFile.txt"},
         kValidating + sameName},
        {"output named like the directories file", {"SavedDirsFile.txt", "SavedLabelsFile.txt", "SavedDirsFile.txt"},
         kValidating + sameName},
        {"output in a missing folder", {"SavedDirsFile.txt", "SavedLabelsFile.txt", "nofolder/labels.cmd"},
         kValidating + cannotOpen("nofolder/labels.cmd")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        e2e::ScratchDir dir;
        e2e::write_file(dir / "SavedDirsFile.txt", kDirs);
        e2e::write_file(dir / "SavedLabelsFile.txt", kLabels);
        auto before = folder_contents(dir.path());
        e2e::RunResult result = run_tagsmith(dir.path(), c.args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(folder_contents(dir.path()), before);
    }
}

// One file may serve as both inputs; it is read once for each.
TEST(Tagsmith, ReadsOneFileAsBothInputs) {
    e2e::ScratchDir dir;
    e2e::write_file(dir / "saved.txt", "LbType 2:L1\nDirName 1:.\nLbType 2:L2\nDirName 1:a\n");
    e2e::RunResult result = run_tagsmith(dir.path(), {"saved.txt", "saved.txt", "out.sh"});
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_EQ(e2e::read_file(dir / "out.sh"),
              "sbxcmd mklabel L1 .\n\nsbxcmd mklabel L2 .\n\nsbxcmd mklabel L1 a\n\nsbxcmd mklabel L2 a\n\n");
}

// The generated file runs under sh: every label reaches the command as one argument,
// every directory as another, whatever blanks or special characters they hold.
TEST(Tagsmith, CommandFileRunsUnderTheShell) {
    e2e::ScratchDir dir;
    const std::vector<std::string> labels = {"CVN-R1", "REL a;b", "$(touch pwned)"};
    const std::vector<std::string> dirs = {"my docs", "x&y|z", "q\"uote`s"};
    std::string labelsText, dirsText;
    for (const auto& l : labels) labelsText += "LbType " + std::to_string(l.size()) + ":" + l + "\n";
    for (const auto& d : dirs) dirsText += "DirName " + std::to_string(d.size()) + ":" + d + "\n";
    e2e::write_file(dir / "SavedLabelsFile.txt", labelsText);
    e2e::write_file(dir / "SavedDirsFile.txt", dirsText);
    ASSERT_EQ(run_tagsmith(dir.path(), kStandardArgs).status, 0);

    // A stand-in sbxcmd prints its arguments one per line between brackets.
    e2e::write_file(dir / "sbxcmd", "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n");
    fs::permissions(dir / "sbxcmd", fs::perms::owner_all);
    e2e::RunOptions options;
    options.cwd = dir.path();
    options.simOnPath = false;
    options.setEnv["PATH"] = dir.path().string() + ":/usr/bin:/bin";
    e2e::RunResult result = e2e::run_program("/bin/sh", {"labels.cmd"}, options);
    EXPECT_EQ(result.status, 0) << result.err;

    std::string expected;
    for (const auto& d : dirs)
        for (const auto& l : labels) expected += "[mklabel]\n[" + l + "]\n[" + d + "]\n";
    EXPECT_EQ(result.out, expected);
    EXPECT_FALSE(fs::exists(dir / "pwned"));
}

// No fixed limit on the number or length of labels.
TEST(Tagsmith, HandlesTwoHundredThousandLabels) {
    e2e::ScratchDir dir;
    const int count = 200000;
    std::string labelsText;
    for (int i = 0; i < count; ++i) {
        std::string label = "CVN-RELEASE-" + std::to_string(i);
        labelsText += "LBTYPE_BEGIN\nLbType " + std::to_string(label.size()) + ":" + label + "\nLBTYPE_END\n";
    }
    const std::string longLabel = "CVN-" + std::string(5000, 'L');
    labelsText += "LbType 5004:" + longLabel + "\n";
    e2e::write_file(dir / "SavedLabelsFile.txt", labelsText);
    e2e::write_file(dir / "SavedDirsFile.txt", "DirName 7:src/lib\n");
    e2e::RunResult result = run_tagsmith(dir.path(), kStandardArgs);
    ASSERT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("\nNumber of Labels found: 200001\n"), std::string::npos);

    std::string commands = e2e::read_file(dir / "labels.cmd");
    EXPECT_EQ(std::count(commands.begin(), commands.end(), '\n'), 2 * (count + 1));
    EXPECT_EQ(commands.substr(0, 44), "sbxcmd mklabel CVN-RELEASE-0 src/lib\n\nsbxcmd");
    EXPECT_NE(commands.find("sbxcmd mklabel CVN-RELEASE-199999 src/lib\n\nsbxcmd mklabel " + longLabel +
                            " src/lib\n\n"),
              std::string::npos);
}

}  // namespace
