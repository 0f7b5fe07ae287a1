// One run at a time in a folder: the scratch file names are fixed.
#pragma once

#include <string>

#include "console.h"

inline constexpr const char* kRunLockFile = "ferrox.lock";

/// The lock of the current folder, held from acquire() to the end of the run. The lock
/// file names the process and host that hold it; a lock left by a process of this host
/// that no longer runs is taken over.
class RunLock {
public:
    RunLock() = default;
    ~RunLock() { release(); }
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    /// true when the lock is now held; false after a message naming the lock file and
    /// its holder when another run holds it or the file cannot be created.
    bool acquire(Console& console, const std::string& hostName);
    void release();

private:
    bool held_ = false;
};
