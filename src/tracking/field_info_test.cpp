// Configurable field names from the configuration-info report.
#include "field_info.h"

#include <gtest/gtest.h>

#include <sstream>

// The first twenty of more names are pinned by the end-to-end read-back of a generated
// server with 25 configurable fields.
TEST(ConfigFieldNames, TakesTheThirdFieldOfEveryFieldLine) {
    struct Case {
        const char* what;
        std::string file;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"prefix, severity and blank lines skipped",
         "defect|Prefix|D|x\n\ndefect|1|Symptom|text|64\ndefect|Severity|1,2,3\n"
         "defect|2|Frequency|text|64\n",
         {"Symptom", "Frequency"}},
        {"severity inside a longer name skips the line too",
         "defect|1|OldSeverityCode|text|8\ndefect|2|Work around|text|8\n",
         {"Work around"}},
        {"crlf line ends and leading blanks",
         "defect|1|  Symptom\r\ndefect|2|Freq|t\r\n",
         {"Symptom", "Freq"}},
        {"unended last line", "defect|1|Symptom", {"Symptom"}},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.file);
        EXPECT_EQ(read_config_field_names(in), c.names) << c.what;
    }
}
