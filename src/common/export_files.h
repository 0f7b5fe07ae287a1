// Default file names of the import files: the one place every export takes them from.
#pragma once

/// The file each export kind option names until a "-o" names another.
inline constexpr const char* kDefectsOutputFile = "defectsExport.txt";
inline constexpr const char* kFeaturesOutputFile = "featuresExport.txt";
inline constexpr const char* kUsersOutputFile = "usersExport.txt";
inline constexpr const char* kPartsOutputFile = "partsExport.txt";
/// Files a run leaves in the working folder about what it could not do, for the user to
/// act on: the raw rows of the parts a parts export could not export (an "-infile" for
/// exactly those), and the records of a defect or feature export whose notes could not
/// be fetched. Each export of the kind removes the file first.
inline constexpr const char* kFailedPartsFile = "failedParts.raw";
inline constexpr const char* kNotesNotFetchedFile = "notesNotFetched.txt";
/// Where the raw part file's backup waits while a selection runs, until the selection is
/// known to yield parts (else the raw part file and its backup are put back).
inline constexpr const char* kHeldRawPartBackup = "partsRawFile000.raw0.held";
