// The table layouts of the two simulated server kinds, as SQL run by the generator.
// Column order is answer order for "-raw" reports, so it must not be rearranged.
#pragma once

#include <string_view>

namespace sim {

enum class ServerKind { corvane, vandor };

/// Tables both kinds share. DefectView and FeatureView are made of the fixed columns
/// below (Corvane adds its own after them); configurable fields are appended later with
/// ALTER TABLE.
inline constexpr std::string_view common_schema = R"sql(
CREATE TABLE Users (
  login TEXT, name TEXT, info TEXT, email TEXT, area TEXT,
  addDate TEXT, lastUpdate TEXT, superUser TEXT, dropDate TEXT);
CREATE TABLE configInfo (recordKind TEXT, seq INTEGER, line TEXT);
CREATE TABLE defectLong (name TEXT PRIMARY KEY, note BLOB);
CREATE TABLE featureLong (name TEXT PRIMARY KEY, note BLOB);
CREATE TABLE simInfo (key TEXT PRIMARY KEY, value TEXT);
)sql";

inline constexpr std::string_view defect_fixed_columns =
    "prefix TEXT, name TEXT, compName TEXT, releaseName TEXT, ownerLogin TEXT, state TEXT,"
    " answer TEXT, severity TEXT, abstract TEXT, age TEXT, envName TEXT, driverName TEXT,"
    " duplicate TEXT, lastUpdate TEXT, addDate TEXT, assignDate TEXT, responseDate TEXT,"
    " endDate TEXT, ownerName TEXT, ownerArea TEXT, reference TEXT, originLogin TEXT,"
    " originName TEXT, originArea TEXT";

inline constexpr std::string_view feature_fixed_columns =
    "prefix TEXT, name TEXT, compName TEXT, ownerLogin TEXT, ownerName TEXT, state TEXT,"
    " abstract TEXT, age TEXT, duplicate TEXT, lastUpdate TEXT, addDate TEXT,"
    " assignDate TEXT, responseDate TEXT, endDate TEXT, ownerArea TEXT, reference TEXT,"
    " originLogin TEXT, originName TEXT, originArea TEXT";

/// Appended to the fixed columns on a Corvane server.
inline constexpr std::string_view corvane_defect_columns = ", ownerId TEXT, originId TEXT";
inline constexpr std::string_view corvane_feature_columns =
    ", releaseName TEXT, answer TEXT, ownerId TEXT, originId TEXT";

inline constexpr std::string_view corvane_schema = R"sql(
CREATE TABLE PartFullView (
  nupathname TEXT, releasename TEXT, workareaname TEXT, userlogin TEXT, revisionname TEXT,
  lastupdate TEXT, fmode TEXT, sourceid TEXT, workareaid TEXT, dropdate TEXT);
CREATE INDEX PartFullView_path ON PartFullView (nupathname);
CREATE TABLE workareaview (workareaid TEXT, workareaname TEXT, releasename TEXT, state TEXT);
CREATE TABLE RevisionView (
  nupathname TEXT, changedate TEXT, revisionname TEXT, ancestorrevision TEXT,
  nuadddate TEXT, sourceid TEXT, oid TEXT);
CREATE INDEX RevisionView_path ON RevisionView (nupathname, changedate);
CREATE INDEX RevisionView_name ON RevisionView (revisionname);
CREATE TABLE versions (revisionname TEXT, sourceid TEXT, sid TEXT, releasename TEXT);
CREATE INDEX versions_name ON versions (revisionname);
)sql";

inline constexpr std::string_view vandor_schema = R"sql(
CREATE TABLE Fileview (
  pathname TEXT, releasename TEXT, versionsid TEXT, versionid TEXT, compname TEXT,
  adddate TEXT, lastupdate TEXT, fmode TEXT, sourceid TEXT, dropdate TEXT);
CREATE INDEX Fileview_path ON Fileview (pathname);
CREATE TABLE committedVersions (
  pathname TEXT, releasename TEXT, sid TEXT, versionid TEXT, changedate TEXT,
  levelname TEXT, commitdate TEXT, changetype TEXT);
CREATE INDEX committedVersions_path ON committedVersions (pathname);
CREATE TABLE versions (sid TEXT, id TEXT, previousid TEXT, changedate TEXT, sourceid TEXT);
CREATE INDEX versions_source ON versions (sourceid, changedate);
CREATE INDEX versions_id ON versions (id);
)sql";

}  // namespace sim
