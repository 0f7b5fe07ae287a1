// Entry of tagsmith: tagsmith dirsFile labelsFile outputFile.
#include <string>
#include <vector>

#include "label_commands.h"
#include "label_console.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    tagsmith::StdConsole console;
    return tagsmith::run_tagsmith(args, console);
}
