#include "files.h"

#include "stop_signals.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnctl {

namespace {

using Clock = std::chrono::steady_clock;

std::string kindOf(mode_t mode) {
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

bool failWith(std::string* error, const std::string& text) {
    *error = text;
    return false;
}

bool failErrno(std::string* error, const std::string& what, const std::string& path) {
    return failWith(error, "cannot " + what + " " + path + ": " + std::strerror(errno));
}

// Standard input up to its end (or its first line end) or `limit` bytes. It
// may be a pipe whose writer never writes: the wait is bounded.
bool readStandardInput(std::size_t limit, bool firstLine, std::string& text, std::string* error,
                       bool* tooLarge) {
    text.clear();
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(kStdinSeconds);
    for (;;) {
        if (stopsignals::requested())
            return failWith(error, "interrupted while reading standard input");
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return failWith(error, "standard input gave nothing complete within " +
                                       std::to_string(kStdinSeconds) + " seconds");
        pollfd p{STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&p, 1, int(left));
        if (ready < 0 && errno != EINTR)
            return failErrno(error, "read", "standard input");
        if (ready <= 0)
            continue;
        char chunk[4096];
        const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            return failErrno(error, "read", "standard input");
        if (n == 0)
            return true;
        text.append(chunk, std::size_t(n));
        if (text.size() > limit) {
            *tooLarge = true;
            return failWith(error,
                            "standard input gives more than " + std::to_string(limit) + " bytes");
        }
        if (firstLine && text.find('\n') != std::string::npos)
            return true;
    }
}

// A regular file, whole; its mode in *mode. *tooLarge tells that the limit
// was what refused it.
bool readRegularFile(const std::string& path, std::size_t limit, std::string& text, mode_t* mode,
                     std::string* error, bool* tooLarge) {
    // Looked at before it is opened: opening a FIFO would wait for a writer,
    // and opening a device may do something.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return failErrno(error, "read", path);
    if (!S_ISREG(st.st_mode))
        return failWith(error, "cannot read " + path + ": it is " + kindOf(st.st_mode) +
                                   ", not a regular file");
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return failErrno(error, "read", path);
    // It may have been replaced in between.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return failWith(error, "cannot read " + path + ": it is not a regular file");
    }
    if (std::size_t(st.st_size) > limit) {
        close(fd);
        *tooLarge = true;
        return failWith(error, path + " is too large (" + std::to_string(st.st_size) +
                                   " bytes, at most " + std::to_string(limit) + ")");
    }
    *mode = st.st_mode;
    text.clear();
    char chunk[4096];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int e = errno;
            close(fd);
            errno = e;
            return failErrno(error, "read", path);
        }
        if (n == 0)
            break;
        text.append(chunk, std::size_t(n));
        if (text.size() > limit) { // it grew while being read
            close(fd);
            *tooLarge = true;
            return failWith(error, path + " has more than the " + std::to_string(limit) +
                                       " bytes it may have");
        }
    }
    close(fd);
    return true;
}

} // namespace

FileRead readInputFile(const std::string& path, std::size_t limit, std::string& text,
                       std::string* error) {
    bool tooLarge = false;
    mode_t mode = 0;
    const bool read = path == "-" ? readStandardInput(limit, false, text, error, &tooLarge)
                                  : readRegularFile(path, limit, text, &mode, error, &tooLarge);
    return read ? FileRead::Read : tooLarge ? FileRead::TooLarge : FileRead::Unreadable;
}

bool readPasswordFile(const std::string& path, std::string& password, std::string* warning,
                      std::string* error) {
    constexpr std::size_t kLimit = 4096;
    warning->clear();
    bool tooLarge = false;
    std::string text;
    if (path == "-") {
        if (!readStandardInput(kLimit, true, text, error, &tooLarge))
            return false;
    } else {
        mode_t mode = 0;
        if (!readRegularFile(path, kLimit, text, &mode, error, &tooLarge))
            return false;
        if ((mode & (S_IRGRP | S_IROTH)) != 0) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "%04o", unsigned(mode & 07777));
            *warning = path + " may be read by " +
                       ((mode & S_IROTH) != 0 ? "others" : "its group") + " (mode " + octal +
                       "); make it readable by its owner only: chmod 600 " + path;
        }
    }
    password = text.substr(0, text.find('\n'));
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    return true;
}

namespace {

// Where the file goes: the path, or the regular file a symbolic link names.
bool outputTarget(const std::string& path, std::string& target, std::string* error) {
    target = path;
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            struct stat real {};
            if (stat(path.c_str(), &real) != 0)
                return failWith(error, "cannot write " + path +
                                           ": it is a symbolic link to nothing that exists");
            if (!S_ISREG(real.st_mode))
                return failWith(error, "cannot write " + path + ": it is a symbolic link to " +
                                           kindOf(real.st_mode) + ", not to a regular file");
            char* resolved = realpath(path.c_str(), nullptr);
            if (resolved == nullptr)
                return failErrno(error, "write", path);
            target = resolved;
            std::free(resolved);
        } else if (!S_ISREG(st.st_mode)) {
            return failWith(error, "cannot write " + path + ": it is " + kindOf(st.st_mode) +
                                       ", not a regular file");
        }
    } else if (errno != ENOENT) {
        return failErrno(error, "write", path);
    }
    return true;
}

} // namespace

bool checkOutputFile(const std::string& path, std::string* error) {
    std::string target;
    return outputTarget(path, target, error);
}

bool writeOutputFile(const std::string& path, const std::string& text, std::string* error) {
    std::string target;
    if (!outputTarget(path, target, error))
        return false;
    const std::string temporary = target + ".tmp-" + std::to_string(getpid());
    const int fd =
        open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return failErrno(error, "write", path);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += std::size_t(n);
    }
    const bool written = done == text.size() && fsync(fd) == 0;
    const int writeError = errno;
    close(fd);
    if (!written || std::rename(temporary.c_str(), target.c_str()) != 0) {
        errno = written ? errno : (writeError != 0 ? writeError : EIO);
        failErrno(error, "write", path);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace varnctl
