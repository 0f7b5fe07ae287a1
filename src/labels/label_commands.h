// tagsmith: turns the saved directories and labels files of a parts export into a
// command file with one "sbxcmd mklabel" line per directory and label.
#pragma once

#include <string>
#include <vector>

#include "command_file.h"
#include "label_console.h"
#include "shell_quoting.h"

namespace tagsmith {

/// Everything one run works on, created by `run_tagsmith` and passed to each step.
struct LabelRun {
    std::string dirsPath;
    std::string labelsPath;
    std::string outputPath;
    FileHandle dirsFile;
    FileHandle labelsFile;
    CommandFile output;
    /// The labels in the order of the labels file (repeats kept), without quotes.
    std::vector<std::string> labelTable;
    /// Decides how labels and directories are quoted in the command file.
    Interpreter interpreter = kHostInterpreter;
};

/// Checks that `args` (the program's arguments, without its name) are exactly the
/// directories file, the labels file and the output file; opens the two inputs and
/// starts the output. Prints the usage text or the error; 0 or -1. An output named
/// exactly like an input is refused before anything is created.
int check_arguments(const std::vector<std::string>& args, LabelRun& run, Console& console);

/// Reads every "LbType " line of the labels file into `run.labelTable`, printing each
/// label. A tagged line without a value, or with one the interpreter cannot pass whole
/// (`can_pass`), is skipped with a warning. 0, or -1 when the file holds no label (the
/// output file is then left behind empty) or cannot be read.
int read_labels(LabelRun& run, Console& console);

/// Reads every "DirName " line of the directories file and writes one command per label
/// for it, then puts the command file in place. A tagged line without a value, or with one
/// the interpreter cannot pass whole, is skipped with a warning. 0, or -1 when no
/// directory was found (the output file is then left behind empty) or a file cannot be
/// read or written (the output is then not created).
int write_label_commands(LabelRun& run, Console& console);

/// The whole program: the three steps and the closing lines. Returns the exit status,
/// 0 after success and 1 after any failure.
int run_tagsmith(const std::vector<std::string>& args, Console& console,
                 Interpreter interpreter = kHostInterpreter);

}  // namespace tagsmith
