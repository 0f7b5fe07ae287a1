// The part list queries of both server kinds as they are printed and run; the
// Corvane ones also run end to end against the simulated server.
#include "part_queries.h"

#include <gtest/gtest.h>

namespace {

RunSettings settings_of(ServerKind kind, std::string release, bool workAreas = false) {
    RunSettings settings;
    settings.serverKind = kind;
    settings.releaseName = std::move(release);
    settings.workAreas = workAreas;
    return settings;
}

}  // namespace

TEST(PartQueries, BatchesOfNamedPartsOverTheReleaseInList) {
    const std::string cvnHead =
        "corv Report -general PartFullView  -select "
        "\"nupathname,releasename,workareaname,userlogin,revisionname,"
        "lastupdate, fmode,sourceid\" -where \"releaseName in ('R1','R''2') and nupathname in "
        "('a.c','it''s.c')";
    const std::string cvnTail =
        " and dropdate is null  order by nupathName,releasename,lastUpdate desc\"";
    struct Case {
        RunSettings settings;
        std::string printed;
    };
    // clang-format off
    const Case cases[] = {
        {settings_of(ServerKind::Corvane, "ignored"),
         cvnHead + " and (workareaname is null or workareaid not in (select workareaid from workareaview)) " + cvnTail},
        {settings_of(ServerKind::Corvane, "", true),
         cvnHead + " and (workareaname is null or workareaid not in (select workareaid from workareaview) or "
                   "workareaid in (select workareaid from workareaview where state in ('fix','integrate')))" +
             cvnTail},
        {settings_of(ServerKind::Vandor, "", true),
         "Report -general Fileview -select pathname,releasename,versionsid,versionid,compname,adddate,lastupdate,fmode"
         "  -where \"releaseName in ('R1','R''2') and pathname in ('a.c','it''s.c') and dropdate is null order by "
         "pathname,releasename, versionsid,lastupdate \""},
    };
    // clang-format on
    for (const Case& c : cases) {
        const auto query = compose_batch_query(c.settings, "('R1','R''2')", "('a.c','it''s.c')");
        ASSERT_TRUE(query);
        EXPECT_EQ(printed_query(*query), c.printed);
        EXPECT_FALSE(compose_batch_query(c.settings, "('R1')", ""));  // no names: nothing to send
    }
}

TEST(PartQueries, VandorReleaseAndPatternQueries) {
    const std::string head =
        "Report -general Fileview -select "
        "pathname,releasename,versionsid,versionid,compname,adddate,lastupdate,fmode"
        "  -where \"";
    const std::string tail =
        " and dropdate is null order by pathname,releasename, versionsid,lastupdate \"";
    const RunSettings release = settings_of(ServerKind::Vandor, "R'1");
    const RunSettings inList = settings_of(ServerKind::Vandor, "");
    EXPECT_EQ(printed_query(compose_release_query(release, "")),
              head + " releaseName = 'R''1' " + tail);
    EXPECT_EQ(printed_query(compose_release_query(inList, "('R1','R2')")),
              head + " releaseName in ('R1','R2')" + tail);
    EXPECT_EQ(printed_query(compose_wildcard_query(release, "", "src/%")),
              head + " releaseName = 'R''1' and pathname like 'src/%'" + tail);
    EXPECT_EQ(printed_query(compose_wildcard_query(inList, "('R1')", "a\\_b%' escape '\\")),
              head + "releaseName in ('R1')and pathname like 'a\\_b%' escape '\\'" + tail);
}
