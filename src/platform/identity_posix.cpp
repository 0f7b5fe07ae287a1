// POSIX side of the exporting identity: the account database and the host name.
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "platform.h"

namespace platform {

LookupResult user_name() {
    LookupResult result;
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) result.value = pw->pw_name;
    return result;
}

LookupResult primary_group_name() {
    LookupResult result;
    const group* gr = ::getgrgid(::getegid());
    if (!gr || !gr->gr_name) {
        result.status = -1;
        result.consoleMessage = "\n\nERROR: BAD SID  \n\n";
        return result;
    }
    result.value = gr->gr_name;
    return result;
}

LookupResult host_name() {
    LookupResult result;
    std::vector<char> buffer(1024, '\0');
    if (::gethostname(buffer.data(), buffer.size() - 1) != 0) {
        result.status = -1;
        result.consoleMessage = "\n\nERROR:\tCan't Determine Host Name \n\n";
        return result;
    }
    result.value = buffer.data();
    return result;
}

}  // namespace platform
