// The users export: one USER block per server user.
#pragma once

#include <string>
#include <vector>

#include "run_context.h"

/// The fields of one raw Users line split at every "|", blanks kept; a line without "|"
/// is one field.
std::vector<std::string> split_user_line(const std::string& line);

/// The USER block of one raw Users record split at every "|" (blanks kept): login name
/// (field 0, also the initial password), full name (1), miscellaneous information (2),
/// e-mail (3); the three privilege flags follow the superuser flag (7).
std::string compose_user_block(const std::vector<std::string>& fields);

/// True when the superuser flag grants the privileges: it begins with the word "yes"
/// (case-sensitive) not continued by another letter or digit.
bool superuser_flag_set(const std::string& flag);

struct UserMap;

/// Writes the user import file from the raw Users file, every login (and so every
/// initial password) through `userMap`; the logins without an entry are
/// listed at the end. Result 0, or -1 when either file cannot be opened or written, or
/// the user map would merge two accounts (the file is then not made).
int write_users_file(RunContext& ctx, const std::string& rawFileName, const std::string& outputFileName,
                     const UserMap& userMap);

/// The -users export with the run's user map; 0 on success, -1 on failure.
int export_users(RunContext& ctx, const UserMap& userMap);
