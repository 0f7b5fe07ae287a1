// Default file names of the import files: the one place every export takes them from.
#pragma once

/// The file each export kind option names until a "-o" names another.
inline constexpr const char* kDefectsOutputFile = "defectsExport.txt";
inline constexpr const char* kFeaturesOutputFile = "featuresExport.txt";
inline constexpr const char* kUsersOutputFile = "usersExport.txt";
inline constexpr const char* kPartsOutputFile = "partsExport.txt";
