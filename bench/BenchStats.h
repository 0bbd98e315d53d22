#ifndef BENCHSTATS_H
#define BENCHSTATS_H

// Summary figures of a series of durations, in milliseconds.
#include <algorithm>
#include <chrono>
#include <numeric>
#include <vector>

struct BenchStats {
    double mean = 0, p99 = 0, worst = 0;
    std::size_t samples = 0;
};

inline double milliseconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

inline BenchStats summarize(std::vector<double> values) {
    BenchStats stats;
    stats.samples = values.size();
    if (values.empty()) {
        return stats;
    }
    std::sort(values.begin(), values.end());
    stats.mean = std::accumulate(values.begin(), values.end(), 0.0) / values.size();
    stats.p99 = values[std::min(values.size() - 1, values.size() * 99 / 100)];
    stats.worst = values.back();
    return stats;
}

// The gaps between consecutive times.
inline std::vector<double>
periods(const std::vector<std::chrono::steady_clock::time_point>& times) {
    std::vector<double> result;
    for (std::size_t i = 1; i < times.size(); ++i) {
        result.push_back(milliseconds(times[i] - times[i - 1]));
    }
    return result;
}

#endif
