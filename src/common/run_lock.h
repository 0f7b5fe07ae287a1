// One run at a time in a folder: the scratch file names are fixed.
#pragma once

#include <string>
#include <vector>

#include "console.h"
#include "platform.h"
#include "run_files.h"


/// The lock of the current folder, held from acquire() to the end of the run: an
/// operating-system lock on the lock file, so that a run that was killed leaves it free
/// and two runs can never both hold it. The file names the process and host holding it,
/// then every temporary and scratch file the run makes, as it makes them: a run that
/// takes over the lock of one that was killed removes what that one left behind and
/// says so in one line. Files a run keeps (its raw part file) are struck off the record.
class RunLock {
public:
    RunLock() = default;
    ~RunLock() { release(); }
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    /// true when the lock is now held; false after a message naming the lock file and
    /// its holder when another run holds it, or the reason when it cannot be made.
    bool acquire(Console& console, const std::string& hostName);
    /// Notes a temporary or scratch file the run is about to make.
    void record(const std::string& name);
    /// Strikes a file off the record: the run keeps it.
    void forget(const std::string& name);
    void release();

private:
    platform::FileLock lock_;
    bool held_ = false;
    std::string holder_;              // the first line of the file
    std::vector<std::string> names_;  // the recorded names, in order
};

/// A recorded name as one line of the lock file, and back: line breaks and "%" are
/// written as %0A, %0D and %25, so that no file name can pass for two.
std::string encode_recorded_name(const std::string& name);
std::string decode_recorded_name(const std::string& line);
