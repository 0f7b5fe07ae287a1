// The exporting identity: user, primary group and host of the exporting machine.
#pragma once

#include <string>

#include "console.h"

/// Who made the export; written into every element and version block. Empty fields
/// are replaced by the writer's fallbacks.
struct ExportIdentity {
    std::string userName;
    std::string eventName;
    std::string groupName;
    std::string hostName;
};

/// The logged-on user's name into `result` (left empty when unknown); always 0.
int find_user_name(Console& console, std::string& result);
/// The account name of the process's primary group; 0, or -1 after its message.
int find_primary_group_name(Console& console, std::string& result);
/// The host name; 0, or -1 after its message.
int find_host_name(Console& console, std::string& result);

/// Runs the three lookups and copies every non-empty result into `identity` (the
/// user name into both the user and the event name); empty results are no error.
void fill_export_identity(Console& console, ExportIdentity& identity);
