// lookup_revision_sid and lookup_sid_release: compose, run, read the first answer.
#include "lookups.h"

#include <fstream>

#include "fields.h"
#include "platform.h"

std::string sql_literal_text(std::string_view value) {
    std::string text;
    text.reserve(value.size());
    for (char c : value) {
        text += c;
        if (c == '\'') text += '\'';
    }
    return text;
}

namespace {

/// The answer line: the first line holding "|", else the last line of the file.
/// false when the file cannot be opened.
bool read_answer(const char* fileName, std::string& answer) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return false;
    answer.clear();
    std::string line;
    while (read_line(in, line)) {
        answer = line;
        if (line.find('|') != std::string::npos) break;
    }
    return true;
}

/// Runs `command` and reads its answer line from `scratchFile`, which is removed once
/// read. -1 silently when the command failed; -1 after a message when the file cannot
/// be opened or holds no answer (`noAnswer`); the file then stays until the run ends.
int run_lookup(RunContext& ctx, const std::string& command, const char* scratchFile, const std::string& noAnswer,
               std::string& answer) {
    if (!ctx.scratch.prepare(ctx.console, scratchFile)) return -1;
    if (run_client(ctx.shell, ctx.console, command) != 0) return -1;
    if (!read_answer(scratchFile, answer)) {
        ctx.console.print("\n\nERROR:\t Can't open temporary work file %s\n\n", scratchFile);
        return -1;
    }
    if (answer.empty()) {
        ctx.console.print("%s", noAnswer.c_str());
        return -1;
    }
    ctx.scratch.remove(scratchFile);
    return 0;
}

}  // namespace

std::string compose_revision_sid_command(std::string_view revisionName, std::string_view partPath) {
    std::string name = sql_literal_text(revisionName);
    std::string query = "sid,releasename from versions where revisionname='" + name + "' and sourceid in" +
                        " (select oid from revisionview where revisionname='" + name + "'" + " and nupathname='" +
                        sql_literal_text(partPath) + "')";
    return "cvnselect " + platform::quote_argument(query) + " > " + kSidScratchFile;
}

std::string compose_sid_release_command(std::string_view sid, std::string_view partPath) {
    std::string condition =
        "versionsid ='" + sql_literal_text(sid) + "' and pathname='" + sql_literal_text(partPath) + "'";
    return "Report -general Fileview -select releasename -where " + platform::quote_argument(condition) + " > " +
           kReleaseScratchFile;
}

int lookup_revision_sid(RunContext& ctx, const std::string& revisionName, const std::string& partPath,
                        std::string& sid, std::string& release) {
    std::string command = compose_revision_sid_command(revisionName, partPath);
    ctx.console.print("\n\n\t    Retrieving Revision Data for Revisionname: %s: \n\n", revisionName.c_str());
    std::string answer;
    if (run_lookup(ctx, command, kSidScratchFile,
                   strprintf("\n\nERROR:  Can't retrieve the SID and Release for Revision %s\n\n", revisionName.c_str()),
                   answer) != 0)
        return -1;
    std::vector<std::string> fields = split_fields(answer);
    sid = field_at(fields, 0);
    release = field_at(fields, 1);
    return 0;
}

int lookup_sid_release(RunContext& ctx, const std::string& sid, const std::string& partPath, std::string& release,
                       std::string& sidResult) {
    std::string command = compose_sid_release_command(sid, partPath);
    ctx.console.print("\n\n\t\t Retrieving  ReleaseName for file: %s and SID : %s\n\n", partPath.c_str(), sid.c_str());
    std::string answer;
    if (run_lookup(ctx, command, kReleaseScratchFile,
                   strprintf("\n\nERROR:  Can't retrieve the Release for file: %s and sid: %s\n\n", partPath.c_str(),
                             sid.c_str()),
                   answer) != 0)
        return -1;
    release = field_at(split_fields(answer), 0);
    sidResult = sid;
    return 0;
}
