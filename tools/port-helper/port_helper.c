/* varn-port-helper: the one file of varn-setup with a capability
 * (cap_net_bind_service, given to it on installation). The appliances answer on
 * UDP port 777, which only a privileged process may bind; the utility is a Qt
 * program that loads code its environment names, so it must hold no privilege.
 * This helper binds the socket, drops every capability and runs the installed
 * utility or varnctl with the socket on descriptor 3, passed by the
 * socket-activation convention (LISTEN_FDS=1, LISTEN_PID).
 *
 * What it binds and runs is fixed when it is built: the program is chosen by
 * name among the two installed beside this helper, and the environment is
 * passed on but never read. Whoever runs it gets a socket on UDP port 777 and
 * nothing else.
 *
 * Usage: varn-port-helper varn-setup|varnctl [ARGUMENT...]
 */
#include <errno.h>
#include <linux/capability.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

enum { kPort = 777, kHandedFd = 3, kReceiveBufferBytes = 1 << 20 };

static const char* const kNames[] = {"varn-setup", "varnctl"};

/* Where the helper and its programs are installed: by the package, and by
 * `cmake --install` (the paths come from the build). A helper serves only the
 * programs installed with it. */
static const struct {
    const char* helper;
    const char* programs[2];
} kInstalls[] = {
    {VARN_PACKAGE_HELPER, {VARN_PACKAGE_UTILITY, VARN_PACKAGE_VARNCTL}},
    {VARN_LOCAL_HELPER, {VARN_LOCAL_UTILITY, VARN_LOCAL_VARNCTL}},
};

static int sameFile(const char* a, const char* b) {
    struct stat x;
    struct stat y;
    return stat(a, &x) == 0 && stat(b, &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

/* The socket the utility's endpoint would make for itself, on descriptor 3.
 * 0, or the errno of the step that failed. */
static int bindPort(void) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        return errno;
    }
    int on = 1;
    int bytes = kReceiveBufferBytes;
    (void)setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    (void)setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    struct sockaddr_in any = {0};
    any.sin_family = AF_INET;
    any.sin_port = htons(kPort);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, (struct sockaddr*)&any, sizeof any) != 0 ||
        (fd != kHandedFd && dup2(fd, kHandedFd) != kHandedFd)) {
        int error = errno;
        close(fd);
        return error;
    }
    if (fd != kHandedFd) {
        close(fd);
    }
    return 0;
}

/* Effective, permitted, inheritable and ambient sets emptied; the bounding set
 * too where the process may (it takes CAP_SETPCAP, which only root has). 0 when
 * the process is left with no capability. */
static int dropCapabilities(void) {
    (void)prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    for (unsigned long cap = 0; prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) == 0; ++cap) {
    }
    struct __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    struct __user_cap_data_struct sets[_LINUX_CAPABILITY_U32S_3];
    memset(sets, 0, sizeof sets);
    if (syscall(SYS_capset, &header, sets) != 0 || syscall(SYS_capget, &header, sets) != 0) {
        return -1;
    }
    for (int i = 0; i < _LINUX_CAPABILITY_U32S_3; ++i) {
        if ((sets[i].effective | sets[i].permitted | sets[i].inheritable) != 0) {
            return -1;
        }
    }
    return 0;
}

int main(int argc, char** argv) {
    int install = -1;
    for (size_t i = 0; i < sizeof kInstalls / sizeof kInstalls[0] && install < 0; ++i) {
        if (sameFile("/proc/self/exe", kInstalls[i].helper)) {
            install = (int)i;
        }
    }
    if (install < 0) {
        fprintf(stderr, "varn-port-helper: runs only as %s or %s\n", VARN_PACKAGE_HELPER,
                VARN_LOCAL_HELPER);
        return 2;
    }
    int program = -1;
    for (int i = 0; i < 2 && argc >= 2; ++i) {
        if (strcmp(argv[1], kNames[i]) == 0) {
            program = i;
        }
    }
    if (program < 0) {
        fprintf(stderr, "usage: varn-port-helper varn-setup|varnctl [ARGUMENT...]\n");
        return 2;
    }

    int error = bindPort();
    if (dropCapabilities() != 0) {
        perror("varn-port-helper: cannot drop its capabilities");
        return 1;
    }
    /* Also when the port could not be had: the program then binds as it would
     * without the helper, says why with this error, and does not come back. */
    char pid[24];
    char code[24];
    snprintf(pid, sizeof pid, "%ld", (long)getpid());
    snprintf(code, sizeof code, "%d", error);
    if (setenv("LISTEN_PID", pid, 1) != 0 || setenv("LISTEN_FDS", error == 0 ? "1" : "0", 1) != 0 ||
        unsetenv("LISTEN_FDNAMES") != 0 || setenv("VARN_PORT_ERROR", code, 1) != 0) {
        perror("varn-port-helper");
        return 1;
    }
    const char* path = kInstalls[install].programs[program];
    execv(path, argv + 1);
    fprintf(stderr, "varn-port-helper: cannot run %s: %s\n", path, strerror(errno));
    return 127;
}
