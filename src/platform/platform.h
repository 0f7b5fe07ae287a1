// The thin operating-system layer: everything that differs between Windows and POSIX.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "supervisor.h"

namespace platform {

/// Where a command's output goes to be discarded: "nul" on Windows, "/dev/null" elsewhere.
const char* null_device();

/// The value of an environment variable, or nothing when it is not defined.
/// A variable defined with an empty value gives an empty string.
std::optional<std::string> get_env(const char* name);

/// Sets an environment variable of this process (tests only: clients get theirs from
/// the supervisor's Environment, never from a change while they run).
bool set_env(const std::string& name, const std::string& value);

/// Quotes `value` as one argument for the command interpreter of this platform (a POSIX
/// shell, or cmd.exe with the client's argument parser behind it), so that blanks and
/// characters special to the interpreter keep their literal meaning and the client
/// receives the value byte for byte.
std::string quote_argument(std::string_view value);
/// The same for a named interpreter, whatever this platform is: command lines written
/// into an import file run later on the target's interpreter. quote_cmd's text is for a
/// line that cmd.exe runs with delayed expansion off (as run_command runs it), read back
/// by the C runtime's argument parser; a value without double quotes (every file name)
/// also serves as the file name after a redirection. A line break cannot pass cmd.exe.
std::string quote_posix(std::string_view value);
std::string quote_cmd(std::string_view value);
/// True when `value` needs no quoting to arrive unchanged, also as the file name after
/// a redirection: only letters, digits and "_-./" (nothing that a POSIX shell or cmd.exe
/// treats specially or as a delimiter).
bool is_plain_word(std::string_view value);

/// This process's id.
long current_process_id();

/// Renames `from` to `to`, replacing an existing `to` in one step; false on failure,
/// with the system's reason in `why` when it is given.
bool replace_file(const std::string& from, const std::string& to, std::string* why = nullptr);

/// Makes the file `path`, written and closed, reach the disk. false with the reason.
bool sync_file(const std::string& path, std::string& why);

/// Makes a rename in the folder of `path` reach the disk (POSIX: the folder is synced;
/// Windows renames with write-through). false with the reason in `why`.
bool sync_folder_of(const std::string& path, std::string& why);

/// A file written with the system's own calls: a failed write says why, and the file
/// reaches the disk before close_synced() returns. Text mode writes CR LF line ends on
/// Windows, as a text stream does.
class SyncedFile {
public:
    SyncedFile() = default;
    ~SyncedFile() { close(); }
    SyncedFile(const SyncedFile&) = delete;
    SyncedFile& operator=(const SyncedFile&) = delete;
    /// Creates or empties `path`; false with the reason in `why`.
    bool open(const std::string& path, bool text, std::string& why);
    bool is_open() const { return fd_ >= 0; }
    /// Writes all of `data`; false with the reason in `why`.
    bool write(const char* data, std::size_t size, std::string& why);
    /// Flushes the file to the disk and closes it; false with the reason in `why`.
    bool close_synced(std::string& why);
    /// Closes without syncing.
    void close();

private:
    int fd_ = -1;
};

/// An operating-system lock on a file, held while this object holds it (flock on
/// POSIX, LockFileEx on Windows); the system lets it go when the process ends in any
/// way, so a lock left by a killed run is free.
class FileLock {
public:
    enum class Outcome { Held, Busy, Failed };
    FileLock() = default;
    ~FileLock() { release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    /// Creates `path` when it is missing and locks it without waiting. Held: the lock is
    /// this process's and `path` still leads to the locked file (one removed and made anew
    /// meanwhile is tried again); the file's content is in `content`. Busy: another process
    /// holds it. Failed: the reason is in `why`.
    Outcome acquire(const std::string& path, std::string& content, std::string& why);
    /// Replaces the file's content, or adds to it; false when the write fails.
    bool rewrite(const std::string& content);
    bool append(const std::string& text);
    /// Removes the file, then lets the lock go.
    void release();

private:
    std::string path_;
    long long handle_ = -1;  // a descriptor, or a Windows HANDLE's value
};

/// Creates the file `path` only when no file of that name exists, with `content`;
/// false when it exists or cannot be written.
bool create_exclusive(const std::string& path, const std::string& content);

/// True when `name` can be used as the name of a file in the current folder:
/// not empty, at most 255 bytes, no path separator, no character the platform forbids in
/// file names, and not a name the platform reserves (".", "..", device names on Windows).
bool is_plain_file_name(std::string_view name);

/// Outcome of one identity lookup. `consoleMessage` and `errorMessage` hold what the
/// lookup wants printed on standard output and on the standard error stream.
struct LookupResult {
    int status = 0;  // 0 success, -1 failure
    std::string value;
    std::string consoleMessage;
    std::string errorMessage;
};

/// The logged-on user's name (empty value when it cannot be found; status stays 0).
LookupResult user_name();
/// The account name of the process's primary group.
LookupResult primary_group_name();
/// The name of this host.
LookupResult host_name();

}  // namespace platform
