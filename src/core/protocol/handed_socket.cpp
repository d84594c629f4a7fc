#include "protocol/handed_socket.h"

#include "protocol/wire.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace varn {

namespace {

constexpr int kHandedFd = 3;

// The installations the helper knows (the paths come from the build, as the
// helper's own do).
struct Install {
    const char* helper;
    const char* utility;
    const char* varnctl;
};
constexpr Install kInstalls[] = {
    {VARN_PACKAGE_HELPER, VARN_PACKAGE_UTILITY, VARN_PACKAGE_VARNCTL},
    {VARN_LOCAL_HELPER, VARN_LOCAL_UTILITY, VARN_LOCAL_VARNCTL},
};

bool isThisProgram(const char* path) {
    struct stat self {};
    struct stat installed {};
    return stat("/proc/self/exe", &self) == 0 && stat(path, &installed) == 0 &&
           self.st_dev == installed.st_dev && self.st_ino == installed.st_ino;
}

// A whole decimal number, or -1.
long wholeNumber(const char* text) {
    if (text == nullptr || *text == '\0') {
        return -1;
    }
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    return errno == 0 && *end == '\0' && value >= 0 ? value : -1;
}

// False only when binding `port` is refused for lack of privilege.
bool mayBind(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return true; // the endpoint will say what is wrong
    }
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(port);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool refused = bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 &&
                         (errno == EACCES || errno == EPERM);
    close(fd);
    return !refused;
}

} // namespace

HandedSocket takeHandedSocket() {
    HandedSocket handed;
    if (wholeNumber(std::getenv("LISTEN_PID")) != long(getpid())) {
        return handed;
    }
    handed.fromHelper = true;
    if (wholeNumber(std::getenv("LISTEN_FDS")) == 1 && fcntl(kHandedFd, F_SETFD, FD_CLOEXEC) == 0) {
        handed.fd = kHandedFd;
    }
    handed.helperError = int(std::max(0L, wholeNumber(std::getenv("VARN_PORT_ERROR"))));
    for (const char* name : {"LISTEN_PID", "LISTEN_FDS", "LISTEN_FDNAMES", "VARN_PORT_ERROR"}) {
        unsetenv(name);
    }
    return handed;
}

HandedSocket portFromHelper(char* const argv[], std::uint16_t port) {
    const HandedSocket handed = takeHandedSocket();
    if (handed.fromHelper || port != kDevicePort || mayBind(port)) {
        return handed;
    }
    for (const Install& install : kInstalls) {
        const char* name = isThisProgram(install.utility)   ? "varn-setup"
                           : isThisProgram(install.varnctl) ? "varnctl"
                                                            : nullptr;
        if (name == nullptr || access(install.helper, X_OK) != 0) {
            continue;
        }
        std::vector<char*> args{const_cast<char*>(install.helper), const_cast<char*>(name)};
        for (char* const* arg = argv[0] != nullptr ? argv + 1 : argv; *arg != nullptr; ++arg) {
            args.push_back(*arg);
        }
        args.push_back(nullptr);
        execv(install.helper, args.data());
        break; // it could not be run: bind as without it
    }
    return handed;
}

std::string installedPortHelper() {
    for (const Install& install : kInstalls) {
        if (isThisProgram(install.utility) || isThisProgram(install.varnctl)) {
            return install.helper;
        }
    }
    return "";
}

} // namespace varn
