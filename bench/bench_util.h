#pragma once
// Timing and memory readings for the benchmark programs.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace orbelan::bench {

class Stopwatch {
  public:
    Stopwatch() : start_(std::chrono::steady_clock::now()) {}
    double Ms() const {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
            .count();
    }

  private:
    std::chrono::steady_clock::time_point start_;
};

// A resident memory figure of /proc/self/status in MB.
inline double StatusMb(const std::string& which) {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == which) {
            double kb = 0;
            status >> kb;
            return kb / 1024.0;
        }
        std::getline(status, key);
    }
    return 0;
}

// Anonymous resident memory in MB: what the process holds beyond its file mappings.
inline double AnonymousMb() {
    return StatusMb("RssAnon:");
}

// Resident pages of mapped files in MB (the table's among them).
inline double FileMb() {
    return StatusMb("RssFile:");
}

inline void Report(const char* what, double ms, const std::string& extra = {}) {
    std::printf("%-48s %10.1f ms%s%s\n", what, ms, extra.empty() ? "" : "  ", extra.c_str());
    std::fflush(stdout);
}

inline std::string BenchFolder() {
    const char* dir = std::getenv("ORBELAN_BENCH_DIR");
    return dir ? dir : "/tmp";
}

}  // namespace orbelan::bench
