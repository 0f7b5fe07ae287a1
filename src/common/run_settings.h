// RunSettings: what one run of ferrox does.
#pragma once

#include <string>

enum class ServerKind : int { Vandor = 0, Corvane = 1 };

enum class ExportKind : int { None = -1, Defects = 0, Features = 1, Users = 2, Parts = 4 };

/// The one record of the run. Written at start-up (defaults, server kind, option
/// parse) and only read afterwards. An empty text means the
/// option was not given. Values are carried whole: the option parse refuses a value
/// longer than its documented field instead of cutting it.
struct RunSettings {
    ServerKind serverKind = ServerKind::Corvane;
    ExportKind exportKind = ExportKind::None;
    std::string outputFileName;
    int mapValues = -1;  // the option parse sets 1 before reading any option; "-nomap" 0
    bool crlf = false;
    bool targetNT = true;
    int partIndex = 20;
    bool workAreas = false;
    bool revisionLabels = false;
    bool levelLabels = true;
    bool sidLabels = false;
    bool componentLabels = false;
    bool allParts = true;
    std::string inFile;
    std::string committedFile;
    std::string whereClause;
    std::string releaseName;
    std::string partSpecFile;
    std::string sinceDate;
    std::string relSpecFile;
    std::string verifyFile;  // "-verify": the element import file a parts run checks
    std::string queryText;
    std::string valueMapFile;  // "-valuemap": the user's value map, read before the export
    std::string userMapFile;   // "-usermap": the user's login map, read before the export
    int jobs = 1;  // client calls that may run at once ("-jobs")
    int retries = 0;         // times a failed client call is tried again ("-retries")
    int timeoutSeconds = 0;  // a client call still running after this long is stopped; 0: never
    bool resume = false;     // go on from the journal of an earlier run ("-resume")
    bool progress = false;   // a progress line on standard error ("-progress")
    bool plan = false;       // the selection only, and what the export would take ("-plan")

    bool corvane() const { return serverKind == ServerKind::Corvane; }
};
