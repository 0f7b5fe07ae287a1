// Identity lookups through the platform layer, with their messages on the console.
#include "identity.h"

#include "platform.h"

namespace {

int take(Console& console, const platform::LookupResult& lookup, std::string& result) {
    if (!lookup.consoleMessage.empty()) console.out(lookup.consoleMessage);
    if (!lookup.errorMessage.empty()) console.err(lookup.errorMessage);
    result = lookup.status == 0 ? lookup.value : std::string();
    return lookup.status;
}

}  // namespace

int find_user_name(Console& console, std::string& result) {
    take(console, platform::user_name(), result);
    return 0;
}

int find_primary_group_name(Console& console, std::string& result) {
    return take(console, platform::primary_group_name(), result);
}

int find_host_name(Console& console, std::string& result) {
    return take(console, platform::host_name(), result);
}

void fill_export_identity(Console& console, ExportIdentity& identity) {
    std::string user, group, host;
    find_user_name(console, user);
    if (!user.empty()) {
        identity.userName = user;
        identity.eventName = user;
    }
    find_primary_group_name(console, group);
    if (!group.empty()) identity.groupName = group;
    find_host_name(console, host);
    if (!host.empty()) identity.hostName = host;
}
