// Composes, prints and runs the part list queries of both server kinds.
#include "part_queries.h"

#include "lookups.h"
#include "platform.h"
#include "report_file.h"

namespace {

constexpr const char* kCorvaneCommand = "corv ";
constexpr const char* kCorvaneReport = "Report -general PartFullView ";
constexpr const char* kCorvaneSelect = " -select \"nupathname,releasename,workareaname,";
constexpr const char* kCorvaneSelectRest = "userlogin,revisionname,lastupdate, fmode,sourceid\"";
constexpr const char* kVandorHead =
    "Report -general Fileview -select "
    "pathname,releasename,versionsid,versionid,compname,adddate,lastupdate,fmode ";

constexpr const char* kOutsideWorkAreas =
    " and (workareaname is null or workareaid not in (select workareaid from workareaview)) ";
constexpr const char* kCorvaneTail =
    " and dropdate is null  order by nupathName,releasename,lastUpdate desc";
constexpr const char* kVandorTail =
    " and dropdate is null order by pathname,releasename, versionsid,lastupdate ";

/// The head of the whole-selection and like-pattern queries; Corvane's has a blank
/// more between its pieces than the batch query's.
std::string release_head(const RunSettings& settings) {
    if (!settings.corvane()) return kVandorHead;
    return strprintf("%s %s %s %s", kCorvaneCommand, kCorvaneReport, kCorvaneSelect,
                     kCorvaneSelectRest);
}

const char* tail(const RunSettings& settings) {
    return settings.corvane() ? kCorvaneTail : kVandorTail;
}

/// The condition on the "-release" name: a blank before and after it.
std::string release_name_condition(const RunSettings& settings) {
    return " releaseName = " + sql_quoted(settings.releaseName) + " ";
}

}  // namespace

std::string sql_quoted(const std::string& name) { return "'" + sql_literal_text(name) + "'"; }

std::string printed_query(const PartQuery& query) {
    return query.head + " -where \"" + query.condition + "\"";
}

std::string query_command_line(const PartQuery& query, const std::string& rawFile) {
    return query.head + " -where " + platform::quote_argument(query.condition) + " >" + rawFile;
}

PartQuery compose_release_query(const RunSettings& settings, const std::string& releaseInList) {
    PartQuery query{release_head(settings), {}};
    if (!settings.whereClause.empty()) {
        // The user's clause replaces the whole release and work-area condition.
        query.condition = settings.whereClause;
    } else {
        query.condition = settings.releaseName.empty() ? " releaseName in " + releaseInList
                                                       : release_name_condition(settings);
        if (settings.corvane()) query.condition += kOutsideWorkAreas;
    }
    query.condition += tail(settings);
    return query;
}

PartQuery compose_wildcard_query(const RunSettings& settings, const std::string& releaseInList,
                                 const std::string& entry) {
    PartQuery query{release_head(settings), {}};
    query.condition = settings.releaseName.empty() ? "releaseName in " + releaseInList
                                                   : release_name_condition(settings);
    query.condition += settings.corvane() ? " and nupathname like '" : "and pathname like '";
    query.condition += entry;
    query.condition += "'";
    if (settings.corvane()) query.condition += kOutsideWorkAreas;
    query.condition += tail(settings);
    return query;
}

std::optional<PartQuery> compose_batch_query(const RunSettings& settings,
                                             const std::string& releaseInList,
                                             const std::string& partInList) {
    if (partInList.empty()) return std::nullopt;
    PartQuery query;
    query.head = settings.corvane() ? std::string(kCorvaneCommand) + kCorvaneReport +
                                          kCorvaneSelect + kCorvaneSelectRest
                                    : kVandorHead;
    query.condition = "releaseName in " + releaseInList;
    query.condition += settings.corvane() ? " and nupathname in " : " and pathname in ";
    query.condition += partInList;
    if (settings.corvane()) {
        query.condition += " and (workareaname is null ";
        query.condition += settings.workAreas
                               ? "or workareaid not in (select workareaid from workareaview) "
                                 "or workareaid in (select workareaid from workareaview "
                                 "where state in ('fix','integrate')))"
                               : "or workareaid not in (select workareaid from workareaview)) ";
    }
    query.condition += tail(settings);
    return query;
}

namespace {

/// Prints the query, then runs it into `file`, created empty first so that no earlier
/// answer is read as this one's.
int run_query(RunContext& ctx, const PartQuery& query, const std::string& file,
              const char* progress) {
    ctx.console.print("\nCommand String is : %s\n", printed_query(query).c_str());
    ctx.console.print("%s", progress);
    ctx.console.flush();
    if (!ctx.scratch.prepare(ctx.console, file)) return -1;
    if (run_client(ctx.shell, ctx.console, query_command_line(query, file)) != 0) {
        ctx.console.print("%s", command_failed_message(ctx.settings.serverKind));
        return -1;
    }
    return 0;
}

}  // namespace

int run_part_query(RunContext& ctx, const std::string& releaseInList, std::string& rawFile,
                   const PartQuery* supplied) {
    const RunSettings& settings = ctx.settings;
    if (!settings.allParts && !supplied && settings.whereClause.empty()) return 1;
    const PartQuery query = supplied ? *supplied : compose_release_query(settings, releaseInList);
    if (rawFile.empty()) rawFile = kRawPartFile;
    return run_query(ctx, query, rawFile,
                     settings.corvane()
                         ? "\n\nGenerating Raw File from Corvane, Please Be Patient\n\n"
                         : "\n\nGenerating Raw File from VANDOR, Please Be Patient\n\n");
}

int run_wildcard_query(RunContext& ctx, const std::string& releaseInList, const std::string& entry,
                       const std::string& outputFile) {
    return run_query(ctx, compose_wildcard_query(ctx.settings, releaseInList, entry), outputFile,
                     "\nGenerating Wildcard Raw File\n");
}
