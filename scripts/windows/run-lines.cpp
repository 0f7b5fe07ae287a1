// run-lines: runs each line of a file as a process's command line, as the importing side
// runs the extract commands of an element import file written for Windows ("cmd /c ...",
// the target file after the closing ">"): CreateProcess with the line as it stands, one
// after another. Used by scripts/windows-check.sh under wine, where a command line given
// to wine itself would be quoted again on its way in.
//
// Usage: run-lines FILE
// Status 0 when every line started (whatever each exited with), 1 when one did not or the
// file cannot be read, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: run-lines FILE\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "run-lines: cannot read %s\n", argv[1]);
        return 1;
    }
    int status = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
            std::fprintf(stderr, "run-lines: cannot start [%s]: error %lu\n", line.c_str(), GetLastError());
            status = 1;
            continue;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return status;
}
