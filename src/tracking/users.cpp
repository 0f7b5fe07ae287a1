// Users export: the raw Users report turned into USER blocks.
#include "users.h"

#include <fstream>

#include "field_info.h"
#include "fields.h"
#include "mapping_files.h"
#include "output_file.h"
#include "platform.h"
#include "report_file.h"

// Splits at every "|" without dropping blanks, unlike read_field: the user file keeps
// values exactly as the server wrote them.
std::vector<std::string> split_user_line(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t bar = line.find('|', start);
        if (bar == std::string::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, bar - start));
        start = bar + 1;
    }
}

namespace {

bool is_ascii_alnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

bool superuser_flag_set(const std::string& flag) {
    // "yes" followed by blanks or other text still counts, but a longer word such as
    // "yesterday" is no grant of privileges.
    return flag.compare(0, 3, "yes") == 0 && (flag.size() == 3 || !is_ascii_alnum(flag[3]));
}

std::string compose_user_block(const std::vector<std::string>& fields) {
    const std::string& login = field_at(fields, 0);
    const char* flag = superuser_flag_set(field_at(fields, 7)) ? "TRUE" : "FALSE";
    std::string block;
    block += "USER\t" + login + "\n";
    block += "#  encrypted\t  = xxxxxxx\n";
    block += "   password\t  = " + login + "\n";
    block += "   is_active\t  = TRUE\n";
    block += "   is_subscribed_to_all_dbs  = TRUE\n";
    block += "   email\t  = " + field_at(fields, 3) + "\n";
    block += "   fullname\t  = " + field_at(fields, 1) + "\n";
    block += "   phone\t  =  \n";
    block += "   misc_info\t  = " + field_at(fields, 2) + "\n";
    block += std::string("   is_superuser\t  = ") + flag + "\n";
    block += std::string("   is_appbuilder  = ") + flag + "\n";
    block += "   is_packagehacker = FALSE\n";
    block += std::string("   is_user_maint  = ") + flag + "\n";
    block += "   databases\t  =  \n";
    block += "\n\n";
    return block;
}

int write_users_file(RunContext& ctx, const std::string& rawFileName, const std::string& outputFileName,
                     const UserMap& userMap) {
    std::ifstream raw(rawFileName, std::ios::binary);
    if (!raw) {
        ctx.console.print("ERROR: Could not open file %s\n", rawFileName.c_str());
        return -1;
    }
    // A text stream: on Windows the lines end in CR LF.
    OutputFile output(outputFileName, &ctx.scratch);
    if (!output.open()) {
        ctx.console.print("ERROR: Could not open file %s\n", outputFileName.c_str());
        ctx.console.print("   Reason: %s\n\n", output.failure().c_str());
        return -1;
    }
    ctx.console.print("\n\nGenerating Users Export File\n\n");
    ctx.console.flush();
    int users = 0;
    LoginMapper logins(userMap);
    std::string line;
    // Lines are read whole and without their line end, so the last field of a line
    // carries no stray line break into the block.
    while (read_line(raw, line) && !platform::interrupted() && logins.merge().empty()) {
        if (line.find('|') == std::string::npos) continue;
        std::vector<std::string> fields = split_user_line(line);
        logins.next_record();
        logins.map(fields[0]);  // the password follows the mapped login
        output.stream() << compose_user_block(fields);
        ++users;
    }
    if (platform::interrupted()) return -1;
    if (!logins.merge().empty()) {
        ctx.console.print("%s", logins.merge().c_str());
        return -1;
    }
    if (!output.commit()) {
        ctx.console.print("ERROR: Could not write file %s: %s\n", outputFileName.c_str(), output.failure().c_str());
        return -1;
    }
    ctx.console.print("\n");
    ctx.console.print("%d Users exported.\n", users);
    ctx.console.print("\n");
    logins.report_kept(ctx.console);
    raw.close();
    if (ctx.settings.inFile.empty()) ctx.scratch.remove(rawFileName);
    return 0;
}

int export_users(RunContext& ctx, const UserMap& userMap) {
    std::string rawFileName;
    // A failed report leaves an empty or partial raw file, which would otherwise be
    // exported as a complete (possibly empty) user list.
    std::string shapeWarning;
    if (generate_view_report(ctx, rawFileName, &shapeWarning) != 0) return -1;
    if (ctx.settings.plan) return plan_tracking_export(ctx, rawFileName);
    const int status = write_users_file(ctx, rawFileName, ctx.settings.outputFileName, userMap);
    if (status == 0) ctx.console.print("%s", shapeWarning.c_str());
    return status;
}
