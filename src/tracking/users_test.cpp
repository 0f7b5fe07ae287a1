// USER blocks: the flag rule, values kept as the server wrote them, the file's edges.
#include "users.h"

#include <gtest/gtest.h>

#include "test_support.h"

using test_support::read_text;

TEST(SuperuserFlag, GrantsOnlyForTheWordYes) {
    struct Case {
        std::string flag;
        bool set;
    };
    const Case cases[] = {
        {"yes", true},   {"yes ", true},  {"yes, admin", true}, {"yesterday", false},
        {"Yes", false},  {"YES", false},  {"", false},          {"ye", false},
        {" yes", false}, {"yes1", false}, {"no", false},
    };
    for (const Case& c : cases) EXPECT_EQ(superuser_flag_set(c.flag), c.set) << c.flag;
}

class UsersFile : public test_support::ExportTest {};

TEST_F(UsersFile, OneBlockPerLineWithABarBlanksKeptMissingFieldsEmpty) {
    run.settings.exportKind = ExportKind::Users;
    run.settings.outputFileName = "users.txt";
    run.shell.answers["userRawFile000.raw"] = "ann| Ann Lee |ops | ann@x.org|a|d|u|yes|\r\nno separators here\n\nbob|Bob";
    EXPECT_EQ(export_users(run.ctx), 0);
    auto block = [](const std::string& login, const std::string& rest, const char* flag) {
        return "USER\t" + login + "\n#  encrypted\t  = xxxxxxx\n   password\t  = " + login +
               "\n   is_active\t  = TRUE\n   is_subscribed_to_all_dbs  = TRUE\n" + rest +
               "   is_superuser\t  = " + flag + "\n   is_appbuilder  = " + flag +
               "\n   is_packagehacker = FALSE\n   is_user_maint  = " + flag + "\n   databases\t  =  \n\n\n";
    };
    EXPECT_EQ(read_text("users.txt"),
              block("ann", "   email\t  =  ann@x.org\n   fullname\t  =  Ann Lee \n   phone\t  =  \n   misc_info\t  = ops \n",
                    "TRUE") +
                  block("bob", "   email\t  = \n   fullname\t  = Bob\n   phone\t  =  \n   misc_info\t  = \n", "FALSE"));
    EXPECT_TRUE(run.console.outText.ends_with("\n\nGenerating Users Export File\n\n\n2 Users exported.\n\n"))
        << run.console.outText;
    EXPECT_EQ(files(), std::vector<std::string>{"users.txt"});
}
