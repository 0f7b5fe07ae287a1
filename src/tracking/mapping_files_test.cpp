// What the value and user map readers accept, warn about and refuse, with their whole
// console text. The maps' effect on the import files is pinned by the end-to-end runs.
#include "mapping_files.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(MapFiles, AcceptWarnOrRefuseNamingTheLine) {
    struct Case {
        bool userMap;  // else a value map
        std::string file;
        std::string console;  // an "ERROR:" text refuses the file
    };
    const std::string value = "\n\nERROR:  Value map m.txt, line ", user = "\n\nERROR:  User map m.txt, line ";
    const Case cases[] = {
        // A byte-order mark, CR LF line ends, comments and blank lines are no entries.
        {false, "\xEF\xBB\xBFstate|a|A\r\n# x|y\r\n\r\nseverity|*|S\r\n", ""},
        {true, "\xEF\xBB\xBF# old|new\r\na|x\r\nb|b\r\n", ""},
        {false, "priority|a|A\npriority|a|A\nsymptom||B\n",
         "\nWARNING: Value map m.txt, line 2: repeats line 1\n\nWARNING: Value map m.txt, line 3: an empty server "
         "value keeps its built-in result; the line is passed over\n"},
        {true, "a|x\na|x\n", "\nWARNING: User map m.txt, line 2: repeats line 1\n"},
        {false, "state|a\n", value + "1: expected field|server value|target value\n\n"},
        {false, "state|a|b|c\n", value + "1: expected field|server value|target value\n\n"},
        {false, "#\nState|a|b\n", value + "2: unknown field \"State\" (state, severity, symptom or priority)\n\n"},
        {false, "state|a\rb|c\n", value + "1: a value holds a line break\n\n"},
        {false, "state|*|A\nstate|*|B\n", value + "2: state '*' is mapped on line 1 already\n\n"},
        {false, std::string("\xFF\xFEs\0t\0", 6), value + "1: the file is UTF-16 text; save it as UTF-8\n\n"},
        {true, "a|x|y\n", user + "1: expected server login|target login\n\n"},
        {true, "a|x\n|y\n", user + "2: a login is empty\n\n"},
        {true, "a|x\na|y\n", user + "2: 'a' is mapped on line 1 already\n\n"},
        {true, "a|x\nb|c\nc|x\n", user + "3: 'c' and 'a' (line 1) would both become 'x', merging two accounts\n\n"},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.file);
        BufferConsole console;
        ValueMap values;
        UserMap users;
        const bool read = c.userMap ? read_user_map(in, "m.txt", users, console)
                                    : read_value_map(in, "m.txt", values, console);
        EXPECT_EQ(console.outText, c.console) << c.file;
        EXPECT_EQ(read, !c.console.starts_with("\n\nERROR:")) << c.file;
    }
}
