// The three steps of tagsmith: arguments, labels, and the directory loop that writes
// the command file.
#include "label_commands.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string_view>

#include "tagged_lines.h"

namespace tagsmith {

namespace {

/// True when both names lead to one existing file, whatever their spelling.
bool same_existing_file(const std::string& a, const std::string& b) {
    try {
        std::error_code error;
        return std::filesystem::equivalent(a, b, error) && !error;
    } catch (const std::exception&) {
        return false;
    }
}

constexpr std::string_view kLabelTag = "LbType ";
constexpr std::string_view kDirTag = "DirName ";

constexpr std::string_view kUsageLine =
    "Error Missing parameters:\n"
    "\n"
    "Usage:\n"
    "  tagsmith  dirsFile   labelsFile\n";
// What help prints: its usage line names all three arguments.
constexpr std::string_view kHelpLine =
    "Usage:\n"
    "  tagsmith  dirsFile   labelsFile   outputFile\n";
constexpr std::string_view kArguments =
    "         where:\n"
    "            dirsFile    -  is the full pathname of the saved directories file\n"
    "                                 from the execution of ferrox_vandor or ferrox_cvn.\n"
    "            labelsFile  -  is the full pathname of the saved labels file\n"
    "                                 from the execution of ferrox_vandor or ferrox_cvn.\n"
    "            outputFile  -  is the full pathname of the output file to be generated.\n"
    "                                 Populated with mklabel commands.\n";

void print_lines(Console& console, std::initializer_list<std::string_view> parts) {
    for (std::string_view part : parts) console.print(part);
}

void report_open_failure(Console& console, const std::string& name) {
    print_lines(console, {"ERROR: Could not open file ", name, "\n",
                          "       Verify the correct spelling of command line parameters.\n"});
}

void report_read_failure(Console& console, const std::string& name) {
    print_lines(console, {"ERROR: Could not read file ", name, "\n"});
}

/// A saved file that ends inside a block was cut short: whatever it lacks would be
/// missing from the commands without a word.
bool report_cut_file(Console& console, const std::string& name, const BlockTracker& blocks) {
    if (blocks.open_block().empty()) return false;
    print_lines(console, {"ERROR: File ", name, " ends inside a ", blocks.open_block(),
                          " block: it was cut short; run the parts export again\n"});
    return true;
}

/// True when the value of a tagged line can go into the command file; otherwise warns that
/// the line is skipped: it carries no value, or one the interpreter would not pass whole.
bool usable_value(Console& console, Interpreter interpreter, const std::string& fileName,
                  long long lineNumber, std::string_view value) {
    if (!value.empty() && can_pass(value, interpreter)) return true;
    const char* what = value.empty() ? " carries no value"
                                     : " carries a value the command interpreter cannot pass";
    print_lines(console, {"WARNING: Line ", std::to_string(lineNumber), " of file ", fileName, what,
                          " and is skipped\n"});
    return false;
}

}  // namespace

int check_arguments(const std::vector<std::string>& args, LabelRun& run, Console& console) {
    if (args.size() != 3) {
        print_lines(console, {kUsageLine, kArguments});
        return -1;
    }
    print_lines(console, {"\n", "---> Validating the command line arguments\n", "\n"});

    run.dirsPath = args[0];
    run.dirsFile.reset(std::fopen(run.dirsPath.c_str(), "rb"));
    if (!run.dirsFile) {
        report_open_failure(console, run.dirsPath);
        return -1;
    }
    run.labelsPath = args[1];
    run.labelsFile.reset(std::fopen(run.labelsPath.c_str(), "rb"));
    if (!run.labelsFile) {
        report_open_failure(console, run.labelsPath);
        return -1;
    }

    run.outputPath = args[2];
    // Any spelling of an input (./name, an absolute path, a link) is that input too.
    if (run.outputPath == run.labelsPath || run.outputPath == run.dirsPath ||
        same_existing_file(run.outputPath, run.labelsPath) || same_existing_file(run.outputPath, run.dirsPath)) {
        print_lines(console, {"ERROR: Cannot specify the same file name as both input and output file parameter\n",
                              "       Verify the command line parameters.\n"});
        return -1;
    }
    if (!run.output.open(run.outputPath)) {
        report_open_failure(console, run.outputPath);
        return -1;
    }
    return 0;
}

int read_labels(LabelRun& run, Console& console) {
    print_lines(console, {"\n", "---> Generating List of labels\n", "\n"});
    run.labelTable.clear();

    LineReader reader(run.labelsFile.get());
    BlockTracker blocks;
    std::string line;
    while (reader.next(line)) {
        blocks.see(line);
        auto label = tagged_value(line, kLabelTag);
        if (!label ||
            !usable_value(console, run.interpreter, run.labelsPath, reader.line_number(), *label))
            continue;
        print_lines(console, {"Label: ", *label, "\n"});
        run.labelTable.emplace_back(*label);
    }
    if (reader.failed()) {
        report_read_failure(console, run.labelsPath);
        return -1;
    }
    if (report_cut_file(console, run.labelsPath, blocks)) return -1;
    run.labelsFile.reset();
    print_lines(console, {"\n", "Number of Labels found: ", std::to_string(run.labelTable.size()), "\n", "\n"});

    if (run.labelTable.empty()) {
        print_lines(console, {"ERROR: No labels were read from file ", run.labelsPath, "\n",
                              "       Verify the file contains LbType tags\n"});
        // The output file counts as created by the argument check: it stays, empty.
        run.output.commit();
        return -1;
    }
    return 0;
}

int write_label_commands(LabelRun& run, Console& console) {
    print_lines(console, {"\n", "---> Start processing Directories\n", "\n"});

    // Every command is the label part, fixed per label, followed by the directory part,
    // fixed per directory; both are composed once, so the loop only copies bytes.
    std::vector<std::string> labelParts;
    labelParts.reserve(run.labelTable.size());
    for (const std::string& label : run.labelTable)
        labelParts.push_back("sbxcmd mklabel " + quote_argument(label, run.interpreter) + " ");

    LineReader reader(run.dirsFile.get());
    BlockTracker blocks;
    std::string line;
    std::string dirPart;
    long long directoryCount = 0;
    while (reader.next(line)) {
        blocks.see(line);
        auto dir = tagged_value(line, kDirTag);
        if (!dir ||
            !usable_value(console, run.interpreter, run.dirsPath, reader.line_number(), *dir))
            continue;
        // The directory keeps its line end, so an empty line follows every command.
        print_lines(console, {"  Processing Directory: ", *dir, "\n", "\n"});
        dirPart = quote_argument(*dir, run.interpreter);
        dirPart += kLineEnd;
        dirPart += kLineEnd;
        for (const std::string& labelPart : labelParts) {
            run.output.write(labelPart);
            run.output.write(dirPart);
        }
        ++directoryCount;
    }
    if (reader.failed()) {
        report_read_failure(console, run.dirsPath);
        run.output.discard();
        return -1;
    }
    if (report_cut_file(console, run.dirsPath, blocks)) {
        run.output.discard();
        return -1;
    }
    run.dirsFile.reset();
    print_lines(console, {"\n", "Number of Directories processed: ", std::to_string(directoryCount), "\n", "\n"});

    if (directoryCount == 0) {
        print_lines(console, {"ERROR: No Directorie were read from file ", run.dirsPath, "\n",
                              "       Verify the file contains DirName tags\n"});
        // Nothing was written: the output file stays, empty.
        run.output.commit();
        return -1;
    }
    if (!run.output.commit()) {
        print_lines(console, {"ERROR: Could not write file ", run.outputPath, "\n"});
        return -1;
    }
    return 0;
}

int run_tagsmith(const std::vector<std::string>& args, Console& console, Interpreter interpreter) {
    if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help" || args[0] == "/?")) {
        print_lines(console, {kHelpLine, kArguments});
        return 0;
    }
    LabelRun run;
    run.interpreter = interpreter;
    if (check_arguments(args, run, console) != 0) return 1;
    print_lines(console, {"Dir file ", run.dirsPath, "\n", "Label file ", run.labelsPath, "\n"});
    if (read_labels(run, console) != 0) return 1;
    if (write_label_commands(run, console) != 0) return 1;
    print_lines(console, {"The generated file is: ", run.outputPath, "\n", "\n ",
                          "Go to the sabrex quarn directory and execute this command file.\n"});
    return 0;
}

}  // namespace tagsmith
