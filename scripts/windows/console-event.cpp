// console-event: delivers a console control event (Ctrl-C, Ctrl-Break, console close) to a
// running program and every process it started, the way the console itself does: by a
// thread in each process that starts at kernelbase's CtrlRoutine with the event as its
// argument. Used by scripts/windows-check.sh under wine, whose console passes on neither
// Ctrl-Break nor the closing of a window.
//
// Usage: console-event c|break|close PROGRAM.exe [alone]
// "alone" leaves out the descendants, as for a client that holds on through the event.
// Status 0 when the event reached every process, 1 when not, 2 on bad usage.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::map<std::string, DWORD> events = {
        {"c", CTRL_C_EVENT}, {"break", CTRL_BREAK_EVENT}, {"close", CTRL_CLOSE_EVENT}};
    const bool alone = argc == 4 && std::strcmp(argv[3], "alone") == 0;
    if ((argc != 3 && !alone) || !events.count(argv[1])) {
        std::fprintf(stderr, "usage: console-event c|break|close PROGRAM.exe [alone]\n");
        return 2;
    }
    // System libraries sit at one address in every process, so this one's is the target's.
    auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernelbase.dll"), "CtrlRoutine")));
    if (!routine) {
        std::fprintf(stderr, "console-event: kernelbase has no CtrlRoutine\n");
        return 2;
    }

    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    std::vector<PROCESSENTRY32> processes;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        processes.push_back(entry);
    CloseHandle(snapshot);

    // The program, then every process whose parent is already in the list.
    std::vector<DWORD> tree;
    for (const PROCESSENTRY32& p : processes)
        if (_stricmp(p.szExeFile, argv[2]) == 0) tree.push_back(p.th32ProcessID);
    if (tree.empty()) {
        std::fprintf(stderr, "console-event: %s does not run\n", argv[2]);
        return 1;
    }
    for (std::size_t i = 0; i < tree.size() && !alone; ++i)
        for (const PROCESSENTRY32& p : processes)
            if (p.th32ParentProcessID == tree[i] && p.th32ProcessID != tree[i]) tree.push_back(p.th32ProcessID);

    // Deepest first, as the client ends before the program notices. A process that is
    // ending can keep the thread's creation waiting, so each gets a few seconds.
    struct Delivery {
        DWORD pid;
        LPTHREAD_START_ROUTINE routine;
        DWORD event;
        bool reached = false;
    };
    int status = 0;
    for (auto pid = tree.rbegin(); pid != tree.rend(); ++pid) {
        Delivery delivery{*pid, routine, events.at(argv[1])};
        HANDLE worker = CreateThread(
            nullptr, 0,
            [](void* arg) -> DWORD {
                auto* d = static_cast<Delivery*>(arg);
                HANDLE process = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION |
                                                 PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ,
                                             FALSE, d->pid);
                if (!process) return 0;
                HANDLE thread = CreateRemoteThread(process, nullptr, 0, d->routine,
                                                   reinterpret_cast<void*>(static_cast<ULONG_PTR>(d->event)), 0,
                                                   nullptr);
                d->reached = thread != nullptr;
                if (thread) CloseHandle(thread);
                CloseHandle(process);
                return 0;
            },
            &delivery, 0, nullptr);
        const bool done = worker && WaitForSingleObject(worker, 3000) == WAIT_OBJECT_0;
        if (!done || !delivery.reached) {
            std::fprintf(stderr, "console-event: cannot reach process %lu\n", static_cast<unsigned long>(*pid));
            status = 1;
        }
        if (!done) {
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), status);  // the worker still waits for it
        }
        CloseHandle(worker);
    }
    return status;
}
