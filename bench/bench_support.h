#pragma once
// What the benchmark programs share: one clock for every process (the
// monotonic clock), timestamps printed as "at EVENT NANOSECONDS" lines that
// `varn-bench launch` turns into milliseconds since the program's exec, the
// process's peak resident memory, and medians.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock; // CLOCK_MONOTONIC: the same in every process

inline long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

inline void printAt(const char* event, long long ns) {
    std::printf("at %s %lld\n", event, ns);
    std::fflush(stdout);
}

// A field of /proc/self/status in KiB ("VmHWM", "VmRSS"), -1 when unknown.
inline long statusKiB(const char* field) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) {
        return -1;
    }
    const std::string prefix = std::string(field) + ":";
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::string(line).rfind(prefix, 0) == 0) {
            std::sscanf(line + prefix.size(), "%ld", &kib);
            break;
        }
    }
    std::fclose(f);
    return kib;
}

inline double median(std::vector<double> v) {
    if (v.empty()) {
        return -1;
    }
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The q-quantile (0..1) by the nearest rank.
inline double quantile(std::vector<double> v, double q) {
    if (v.empty()) {
        return -1;
    }
    std::sort(v.begin(), v.end());
    std::size_t rank = std::size_t(q * double(v.size()) + 0.999999);
    rank = std::clamp<std::size_t>(rank, 1, v.size());
    return v[rank - 1];
}

} // namespace bench
