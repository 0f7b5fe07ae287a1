// The scratch files of one run: fixed names in the current folder, removed when done.
#pragma once

#include <string>
#include <vector>

#include "console.h"

class RunLock;

/// Every scratch file the run creates is registered here before a command writes into
/// it, and removed when consumed or, at the latest, when the run ends: after a failed or
/// interrupted export too. Files the run did not create (an "-infile" file) are never
/// registered. With the folder's lock, every name is also recorded in the lock file
/// before the file is made, so that a run that is killed leaves a list of its files.
class ScratchFiles {
public:
    explicit ScratchFiles(RunLock* lock = nullptr) : lock_(lock) {}
    ~ScratchFiles() { remove_all(); }
    ScratchFiles(const ScratchFiles&) = delete;
    ScratchFiles& operator=(const ScratchFiles&) = delete;

    /// Creates `name` empty in the current folder for a command to write into, so that
    /// no answer of an earlier step is read as fresh and a folder that refuses new files
    /// is reported as such. false after "cannot write NAME in the current folder".
    bool prepare(Console& console, const std::string& name);
    /// Registers a file the run creates by other means.
    void add(const std::string& name);
    /// Removes `name` now (registered or not) and forgets it.
    void remove(const std::string& name);
    /// The file stays after the run; it is forgotten.
    void keep(const std::string& name);
    /// Removes every registered file.
    void remove_all();
    /// Records in the lock file a temporary file that its owner removes itself (an
    /// export file's temporary name).
    void record_temporary(const std::string& name);
    /// The recorded temporary file became a kept file.
    void temporary_kept(const std::string& name);

private:
    std::vector<std::string> names_;
    RunLock* lock_;
};

/// The message of a scratch file the current folder does not take.
void report_unwritable_scratch(Console& console, const std::string& name);
