// Windows side of the exporting identity: the Win32 security calls and Winsock.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <vector>

#include "platform.h"

namespace platform {

LookupResult user_name() {
    LookupResult result;
    char buffer[64] = {};
    DWORD size = sizeof buffer;
    if (GetUserNameA(buffer, &size) == TRUE) result.value = buffer;
    return result;
}

LookupResult primary_group_name() {
    LookupResult result;
    result.status = -1;
    DWORD pid = GetCurrentProcessId();
    HANDLE process = OpenProcess(READ_CONTROL | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!process) {
        char text[96];
        std::snprintf(text, sizeof text, "*** Can't get process handle for pid:%lu \n",
                      static_cast<unsigned long>(pid));
        result.errorMessage = text;
        return result;
    }
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, READ_CONTROL | TOKEN_QUERY | TOKEN_QUERY_SOURCE, &token) &&
        !OpenProcessToken(process, READ_CONTROL | TOKEN_QUERY, &token)) {
        char text[96];
        std::snprintf(text, sizeof text, "*** Can't get access token for pid:%lu \n",
                      static_cast<unsigned long>(pid));
        result.errorMessage = text;
        CloseHandle(process);
        return result;
    }
    DWORD needed = 0;
    GetTokenInformation(token, TokenPrimaryGroup, nullptr, 0, &needed);
    std::vector<unsigned char> buffer(needed ? needed : 1, 0);
    if (GetTokenInformation(token, TokenPrimaryGroup, buffer.data(), needed, &needed)) {
        PSID sid = reinterpret_cast<TOKEN_PRIMARY_GROUP*>(buffer.data())->PrimaryGroup;
        if (!sid || !IsValidSid(sid)) {
            result.consoleMessage = "<Invalid SID>";
        } else {
            char name[100] = {};
            char domain[100] = {};
            DWORD nameSize = sizeof name, domainSize = sizeof domain;
            SID_NAME_USE use;
            if (LookupAccountSidA(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) {
                result.status = 0;
                result.value = name;
            } else {
                result.consoleMessage = "\n\nERROR: BAD SID  \n\n";
            }
        }
    } else {
        result.consoleMessage = "\n\nERROR: BAD SID  \n\n";
    }
    CloseHandle(token);
    CloseHandle(process);
    return result;
}

LookupResult host_name() {
    LookupResult result;
    WSADATA data;
    WSAStartup(0x0101, &data);
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0) {
        result.status = -1;
        result.consoleMessage = "\n\nERROR:\tCan't Determine Host Name \n\n";
        return result;
    }
    result.value = buffer;
    return result;
}

}  // namespace platform
