// USER blocks: the flag rule, values kept as the server wrote them, whole files.
#include "users.h"

#include <gtest/gtest.h>

#include "tracking_test_support.h"

using tracking_test::ExportTest;
using tracking_test::read_text;
using tracking_test::write_text;

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

TEST(UserBlock, KeepsBlanksAndFillsMissingFieldsWithNothing) {
    EXPECT_EQ(compose_user_block({"ann", " Ann Lee ", "ops ", " ann@x.org", "a", "d", "u", "yes"}),
              "USER\tann\n"
              "#  encrypted\t  = xxxxxxx\n"
              "   password\t  = ann\n"
              "   is_active\t  = TRUE\n"
              "   is_subscribed_to_all_dbs  = TRUE\n"
              "   email\t  =  ann@x.org\n"
              "   fullname\t  =  Ann Lee \n"
              "   phone\t  =  \n"
              "   misc_info\t  = ops \n"
              "   is_superuser\t  = TRUE\n"
              "   is_appbuilder  = TRUE\n"
              "   is_packagehacker = FALSE\n"
              "   is_user_maint  = TRUE\n"
              "   databases\t  =  \n"
              "\n\n");
    const std::string shortLine = compose_user_block({"bob", "Bob"});
    EXPECT_NE(shortLine.find("   email\t  = \n   fullname\t  = Bob\n"), std::string::npos);
    EXPECT_NE(shortLine.find("   is_superuser\t  = FALSE\n"), std::string::npos);
}

class UsersFile : public ExportTest {};

TEST_F(UsersFile, OneBlockPerLineWithABarAndTheScratchRawFileRemoved) {
    settings.exportKind = ExportKind::Users;
    settings.outputFileName = "users.txt";
    server.rawAnswer = "ann|Ann|i|a@x|ar|d|u|yes|\r\nno separators here\n\nbob|Bob|||||||";
    EXPECT_EQ(export_users(ctx), 0);
    EXPECT_EQ(read_text("users.txt"),
              compose_user_block({"ann", "Ann", "i", "a@x", "ar", "d", "u", "yes", ""}) +
                  compose_user_block({"bob", "Bob", "", "", "", "", "", "", ""}));
    EXPECT_TRUE(
        console.outText.ends_with("\n\nGenerating Users Export File\n\n\n2 Users exported.\n\n"))
        << console.outText;
    EXPECT_EQ(files(), std::vector<std::string>{"users.txt"});
}

TEST_F(UsersFile, EmptyRawFileGivesAnEmptyFileAndAnInFileStays) {
    settings.exportKind = ExportKind::Users;
    settings.inFile = "given.raw";
    settings.outputFileName = "users.txt";
    write_text("given.raw", "");
    EXPECT_EQ(export_users(ctx), 0);
    EXPECT_EQ(read_text("users.txt"), "");
    EXPECT_EQ(console.outText,
              "\nReading Raw Input File: given.raw\n"
              "\n\nGenerating Users Export File\n\n\n0 Users exported.\n\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"given.raw", "users.txt"}));
}

TEST_F(UsersFile, UnopenableFilesAreNamed) {
    settings.exportKind = ExportKind::Users;
    EXPECT_EQ(write_users_file(ctx, "absent.raw", "users.txt"), -1);
    EXPECT_EQ(console.outText, "ERROR: Could not open file absent.raw\n");
    console.outText.clear();
    write_text("present.raw", "a|b\n");
    std::filesystem::create_directory("dir");
    EXPECT_EQ(write_users_file(ctx, "present.raw", "dir"), -1);
    EXPECT_EQ(console.outText, "ERROR: Could not open file dir\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"dir", "present.raw"}));
}
