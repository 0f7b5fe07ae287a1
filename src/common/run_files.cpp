// The list of the files a run names in its folder.
#include "run_files.h"

#include "console.h"

std::string place_file_name(const char* format, std::size_t place) { return strprintf(format, place); }

std::vector<std::string> run_file_names() {
    std::vector<std::string> names{
        kDefectRawFile,    kFeatureRawFile,      kUserRawFile,        kDefectConfigFile,     kFeatureConfigFile,
        kRawPartFile,      kRawPartBackup,       kHeldRawPartBackup,  kBatchScratchFile,     kWildcardScratchFile,
        kSidScratchFile,   kReleaseScratchFile,  kLabelsScratchFile,  kDirsScratchFile,      kVersionsScratchFile,
        kSavedLabelsFile,  kSavedDirsFile,       kRunLockFile,        kJournalFile,          kFailedPartsFile,
        kNotesNotFetchedFile, kUnmappedValuesFile};
    for (const char* format : {kRevisionScratchFormat, kVersionsScratchFormat, kCommittedScratchFormat})
        names.push_back(place_file_name(format, 0));
    return names;
}
