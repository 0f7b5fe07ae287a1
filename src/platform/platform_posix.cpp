// POSIX side of the platform layer: files, locks and the environment (the process
// supervisor is in supervisor_posix.cpp, the identity lookups in identity_posix.cpp).
#include "platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <vector>

namespace platform {

const char* null_device() { return "/dev/null"; }

bool set_env(const std::string& name, const std::string& value) {
    return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

std::string quote_argument(std::string_view value) { return quote_posix(value); }

long current_process_id() { return static_cast<long>(::getpid()); }

bool replace_file(const std::string& from, const std::string& to, std::string* why) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    if (why) *why = std::strerror(errno);
    return false;
}

namespace {

bool sync_path(const std::string& path, int flags, std::string& why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    // Some file systems cannot sync a folder (EINVAL): their renames are as safe as they get.
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    if (!synced) why = std::strerror(errno);
    ::close(fd);
    return synced;
}

}  // namespace

bool sync_file(const std::string& path, std::string& why) { return sync_path(path, 0, why); }

bool sync_folder_of(const std::string& path, std::string& why) {
    const std::size_t slash = path.rfind('/');
    return sync_path(slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash), O_DIRECTORY, why);
}

bool SyncedFile::open(const std::string& path, bool, std::string& why) {
    close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) why = std::strerror(errno);
    return fd_ >= 0;
}

bool SyncedFile::write(const char* data, std::size_t size, std::string& why) {
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            why = std::strerror(n < 0 ? errno : ENOSPC);
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool SyncedFile::close_synced(std::string& why) {
    // A device or pipe cannot be synced (EINVAL); what it took is what it got.
    bool ok = ::fsync(fd_) == 0 || errno == EINVAL || errno == EROFS;
    if (!ok) why = std::strerror(errno);
    if (::close(fd_) != 0 && ok) {
        ok = false;
        why = std::strerror(errno);
    }
    fd_ = -1;
    return ok;
}

void SyncedFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

FileLock::Outcome FileLock::acquire(const std::string& path, std::string& content, std::string& why) {
    release();
    // A run that ends removes the file while it holds the lock; one that opened the old
    // file meanwhile finds that its name now leads elsewhere (or nowhere) and tries again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            why = std::strerror(errno);
            return Outcome::Failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK) return Outcome::Busy;
            why = std::strerror(error);
            return Outcome::Failed;
        }
        struct stat held {}, named {};
        if (::fstat(fd, &held) != 0 || ::stat(path.c_str(), &named) != 0 || held.st_dev != named.st_dev ||
            held.st_ino != named.st_ino) {
            ::close(fd);
            continue;
        }
        content.clear();
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0) content.append(buffer, static_cast<std::size_t>(n));
        path_ = path;
        handle_ = fd;
        return Outcome::Held;
    }
    why = "it was replaced again and again while it was being locked";
    return Outcome::Failed;
}

bool FileLock::rewrite(const std::string& content) {
    if (handle_ < 0) return false;
    const int fd = static_cast<int>(handle_);
    return ::ftruncate(fd, 0) == 0 && ::pwrite(fd, content.data(), content.size(), 0) ==
                                          static_cast<ssize_t>(content.size());
}

bool FileLock::append(const std::string& text) {
    if (handle_ < 0) return false;
    const int fd = static_cast<int>(handle_);
    const off_t end = ::lseek(fd, 0, SEEK_END);
    return end >= 0 && ::pwrite(fd, text.data(), text.size(), end) == static_cast<ssize_t>(text.size());
}

void FileLock::release() {
    if (handle_ < 0) return;
    // Removed while still locked: a run waiting for the name finds it gone, not free.
    ::unlink(path_.c_str());
    ::close(static_cast<int>(handle_));
    handle_ = -1;
}

bool create_exclusive(const std::string& path, const std::string& content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    if (::close(fd) != 0 || !written) {
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

bool is_plain_file_name(std::string_view name) {
    // Longer names do not fit one folder entry of the usual file systems.
    if (name.empty() || name == "." || name == ".." || name.size() > 255) return false;
    for (char c : name)
        if (c == '/' || c == '\0') return false;
    return true;
}
}  // namespace platform
