// Every file a run names in its folder, each named here once: the export files' default
// names, the scratch files of the reports and of the writer, and the files a run leaves.
// The output-name check refuses all of them as an export file's name.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

/// The file each export kind option names until a "-o" names another.
inline constexpr const char* kDefectsOutputFile = "defectsExport.txt";
inline constexpr const char* kFeaturesOutputFile = "featuresExport.txt";
inline constexpr const char* kUsersOutputFile = "usersExport.txt";
inline constexpr const char* kPartsOutputFile = "partsExport.txt";

/// Raw reports and configuration reports of the tracking exports.
inline constexpr const char* kDefectRawFile = "defectRawFile000.raw";
inline constexpr const char* kFeatureRawFile = "featureRawFile000.raw";
inline constexpr const char* kUserRawFile = "userRawFile000.raw";
inline constexpr const char* kDefectConfigFile = "defectConfigFile000.raw";
inline constexpr const char* kFeatureConfigFile = "featureConfigFile000.raw";

/// The part list of a parts export, kept for a later "-infile", and its one backup.
inline constexpr const char* kRawPartFile = "partsRawFile000.raw";
inline constexpr const char* kRawPartBackup = "partsRawFile000.raw0";
/// Where the raw part file's backup waits while a selection runs, until the selection is
/// known to yield parts (else the raw part file and its backup are put back).
inline constexpr const char* kHeldRawPartBackup = "partsRawFile000.raw0.held";
/// The answers of a later batch of a part specification and of one like pattern.
inline constexpr const char* kBatchScratchFile = "tmppfvrawfile000.out";
inline constexpr const char* kWildcardScratchFile = "wildcardtmpfile000.tmp";
/// The reports of the part in place N of a batch (printf formats of N).
inline constexpr const char* kRevisionScratchFormat = "revTmpFile%03zu.out";
inline constexpr const char* kVersionsScratchFormat = "verTmpFile%03zu.out";
inline constexpr const char* kCommittedScratchFormat = "vandorCommittedfile%03zu.raw";
/// The answers of the SID and release lookups of branch points.
inline constexpr const char* kSidScratchFile = "tmpsid000.raw";
inline constexpr const char* kReleaseScratchFile = "tmprel000.raw";

/// The element writer's scratch files, and the saved files two of them become.
inline constexpr const char* kLabelsScratchFile = "labelstmpfile000.tmp";
inline constexpr const char* kDirsScratchFile = "dirstmpfile000.tmp";
inline constexpr const char* kVersionsScratchFile = "versionstmpfile000.tmp";
inline constexpr const char* kSavedLabelsFile = "SavedLabelsFile.txt";
inline constexpr const char* kSavedDirsFile = "SavedDirsFile.txt";

/// The folder's lock, and the journal a run keeps for -resume.
inline constexpr const char* kRunLockFile = "ferrox.lock";
inline constexpr const char* kJournalFile = "ferrox.journal";
/// Files a run leaves in the working folder about what it could not do, for the user to
/// act on: the raw rows of the parts a parts export could not export (an "-infile" for
/// exactly those), the records of a defect or feature export whose notes could not be
/// fetched, and the values that fell to a fallback. Each export of the kind removes its
/// file first.
inline constexpr const char* kFailedPartsFile = "failedParts.raw";
inline constexpr const char* kNotesNotFetchedFile = "notesNotFetched.txt";
inline constexpr const char* kUnmappedValuesFile = "unmappedValues.txt";

/// The name of the file of a printf `format` of a place in a batch.
std::string place_file_name(const char* format, std::size_t place);

/// Every name above that a run may write or read in its folder (the places of a batch
/// at place 0; the parts export checks every place it uses itself).
std::vector<std::string> run_file_names();
