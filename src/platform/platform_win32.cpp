// Windows side of the platform layer: files, locks and the environment (the process
// supervisor is in supervisor_win32.cpp, the identity lookups in identity_win32.cpp).
#include "platform.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "win32_errors.h"

#include <algorithm>
#include <cstdlib>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace platform {

const char* null_device() { return "nul"; }

bool set_env(const std::string& name, const std::string& value) {
    return _putenv_s(name.c_str(), value.c_str()) == 0;
}

std::string quote_argument(std::string_view value) { return quote_cmd(value); }

long current_process_id() { return static_cast<long>(GetCurrentProcessId()); }

namespace {

// The lock is taken on one byte far past any content, so that the file itself stays
// readable for a run that wants to name the holder.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

}  // namespace

bool replace_file(const std::string& from, const std::string& to, std::string* why) {
    // The C library's rename refuses an existing target on Windows; write-through makes
    // the rename reach the disk before it returns.
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    if (why) *why = win32_error_text(GetLastError());
    return false;
}

bool sync_file(const std::string& path, std::string& why) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        why = win32_error_text(GetLastError());
        return false;
    }
    const bool flushed = FlushFileBuffers(file);
    if (!flushed) why = win32_error_text(GetLastError());
    CloseHandle(file);
    return flushed;
}

bool sync_folder_of(const std::string&, std::string&) { return true; }

bool SyncedFile::open(const std::string& path, bool text, std::string& why) {
    close();
    fd_ = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_NOINHERIT | (text ? _O_TEXT : _O_BINARY),
                _S_IREAD | _S_IWRITE);
    if (fd_ < 0) why = std::strerror(errno);
    return fd_ >= 0;
}

bool SyncedFile::write(const char* data, std::size_t size, std::string& why) {
    while (size > 0) {
        const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30));
        const int n = _write(fd_, data, chunk);
        if (n <= 0) {
            why = std::strerror(n < 0 ? errno : ENOSPC);
            return false;
        }
        // In text mode a line feed becomes two bytes, but the count is of the bytes given.
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool SyncedFile::close_synced(std::string& why) {
    // A device (nul, con) cannot be flushed; what it took is what it got.
    bool ok = _commit(fd_) == 0 || errno == EBADF || errno == EINVAL;
    if (!ok) why = std::strerror(errno);
    if (_close(fd_) != 0 && ok) {
        ok = false;
        why = std::strerror(errno);
    }
    fd_ = -1;
    return ok;
}

void SyncedFile::close() {
    if (fd_ >= 0) _close(fd_);
    fd_ = -1;
}

FileLock::Outcome FileLock::acquire(const std::string& path, std::string& content, std::string& why) {
    release();
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            // A file that is being removed by the run that held it.
            if (error == ERROR_ACCESS_DENIED) {
                Sleep(10);
                continue;
            }
            why = win32_error_text(error);
            return Outcome::Failed;
        }
        OVERLAPPED at{};
        at.OffsetHigh = kLockOffsetHigh;
        if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
            const DWORD error = GetLastError();
            CloseHandle(file);
            if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return Outcome::Busy;
            why = win32_error_text(error);
            return Outcome::Failed;
        }
        // The name must still lead to the file locked.
        BY_HANDLE_FILE_INFORMATION held{}, named{};
        HANDLE again = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        const bool same = again != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &held) &&
                          GetFileInformationByHandle(again, &named) &&
                          held.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
                          held.nFileIndexHigh == named.nFileIndexHigh && held.nFileIndexLow == named.nFileIndexLow;
        if (again != INVALID_HANDLE_VALUE) CloseHandle(again);
        if (!same) {
            CloseHandle(file);
            continue;
        }
        content.clear();
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
        path_ = path;
        handle_ = reinterpret_cast<long long>(file);
        return Outcome::Held;
    }
    why = "it was replaced again and again while it was being locked";
    return Outcome::Failed;
}

namespace {

/// Writes `text` at the file's end, or over the whole file (emptied first).
bool write_lock_file(long long handle, const std::string& text, bool replace) {
    if (handle < 0) return false;
    HANDLE file = reinterpret_cast<HANDLE>(handle);
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file, start, nullptr, replace ? FILE_BEGIN : FILE_END)) return false;
    if (replace && !SetEndOfFile(file)) return false;
    DWORD written = 0;
    return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
}

}  // namespace

bool FileLock::rewrite(const std::string& content) { return write_lock_file(handle_, content, true); }

bool FileLock::append(const std::string& text) { return write_lock_file(handle_, text, false); }

void FileLock::release() {
    if (handle_ < 0) return;
    // Removed while still locked: a run waiting for the name finds it gone, not free.
    DeleteFileA(path_.c_str());
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
}

bool create_exclusive(const std::string& path, const std::string& content) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                    written == content.size();
    if (!CloseHandle(file) || !ok) {
        DeleteFileA(path.c_str());
        return false;
    }
    return true;
}

bool is_plain_file_name(std::string_view name) {
    // Longer names do not fit one folder entry of the usual file systems.
    if (name.empty() || name == "." || name == ".." || name.size() > 255) return false;
    for (unsigned char c : name) {
        if (c < 32) return false;
        switch (c) {
            case '<': case '>': case ':': case '"': case '/': case '\\':
            case '|': case '?': case '*':
                return false;
            default:
                break;
        }
    }
    if (name.back() == ' ' || name.back() == '.') return false;
    // Device names stay devices whatever extension follows them.
    std::string stem(name.substr(0, name.find('.')));
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static const char* const reserved[] = {"CON", "PRN", "AUX", "NUL", "COM1", "COM2", "COM3",
                                           "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
                                           "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6",
                                           "LPT7", "LPT8", "LPT9"};
    for (const char* r : reserved)
        if (stem == r) return false;
    return true;
}
}  // namespace platform
