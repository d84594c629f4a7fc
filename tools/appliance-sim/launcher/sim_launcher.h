#pragma once
// Starting and stopping appliance-sim from another program (the demo launcher
// and the end-to-end tests). Header-only POSIX; the simulator is a separate
// process, so nothing of its code is linked in.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace simlaunch {

struct SimProcess {
    pid_t pid = -1;
    std::uint16_t port = 0;
    std::string banner; // what the simulator printed at start
};

// Starts the simulator with `args` (pass "--port 0" to let it pick a free port)
// and waits for its start-up line. The simulator ends with this process.
inline bool startSimulator(const std::string& path, const std::vector<std::string>& args,
                           SimProcess& out, std::string* error, int timeoutMs = 5000) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    std::vector<std::string> all{path};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    argv.reserve(all.size() + 1);
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        *error = std::string("fork: ") + std::strerror(errno);
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        dup2(fds[1], STDOUT_FILENO);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::string marker = "listening on 0.0.0.0:";
    std::size_t at = std::string::npos;
    while (true) {
        at = text.find(marker);
        if (at != std::string::npos && text.find('\n', at) != std::string::npos)
            break;
        int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                           deadline - std::chrono::steady_clock::now())
                           .count());
        pollfd p{fds[0], POLLIN, 0};
        if (left <= 0 || poll(&p, 1, left) <= 0)
            break;
        char chunk[512];
        ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n <= 0)
            break;
        text.append(chunk, std::size_t(n));
    }
    // Let the rest of the banner arrive, for whoever shows it.
    pollfd p{fds[0], POLLIN, 0};
    while (at != std::string::npos && poll(&p, 1, 50) > 0) {
        char chunk[512];
        ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n <= 0)
            break;
        text.append(chunk, std::size_t(n));
    }
    close(fds[0]);
    if (at == std::string::npos) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        *error = "appliance-sim did not start (" + path + ")";
        return false;
    }
    out.pid = pid;
    out.port = std::uint16_t(std::atoi(text.c_str() + at + marker.size()));
    out.banner = text;
    return true;
}

// Ends the simulator: politely first, then for good.
inline void stopSimulator(SimProcess& sim) {
    if (sim.pid <= 0)
        return;
    kill(sim.pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(sim.pid, nullptr, WNOHANG) == sim.pid) {
            sim.pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(sim.pid, SIGKILL);
    waitpid(sim.pid, nullptr, 0);
    sim.pid = -1;
}

// A UDP port that is free at the moment of asking, other than `avoid`.
inline std::uint16_t freeUdpPort(std::uint16_t avoid = 0) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        int fd = socket(AF_INET, SOCK_DGRAM, 0);
        if (fd < 0)
            return 0;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        socklen_t len = sizeof a;
        std::uint16_t port = 0;
        if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        close(fd);
        if (port != 0 && port != avoid)
            return port;
    }
    return 0;
}

// The simulator's --log once it has stopped growing: the last request may
// still be on its way when the sender ends.
inline std::string settledLog(const std::string& path) {
    auto text = [&path] {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    std::string log = text();
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::string now = text();
        if (now == log)
            break;
        log = std::move(now);
    }
    return log;
}

// How many requests of `type` a simulator log shows received.
inline int requestsIn(const std::string& log, int type) {
    const std::regex line(" RX .* request " + std::to_string(type) + " \\(");
    std::istringstream lines(log);
    int n = 0;
    for (std::string l; std::getline(lines, l);)
        n += std::regex_search(l, line) ? 1 : 0;
    return n;
}

} // namespace simlaunch
