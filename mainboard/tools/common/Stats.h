#pragma once
// Order statistics of a set of timings, for the benchmarks' reports.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <vector>

namespace simboard {

struct Summary {
    std::size_t count = 0;
    double median = 0;
    double p99 = 0;
    double mean = 0;
    double max = 0;
};

// Nearest-rank percentiles; sorts a copy.
inline Summary summarize(std::vector<double> values) {
    Summary s;
    s.count = values.size();
    if (values.empty()) return s;
    std::sort(values.begin(), values.end());
    const auto rank = [&](double p) {
        const auto r = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size())));
        return values[std::clamp<std::size_t>(r, 1, values.size()) - 1];
    };
    s.median = rank(0.5);
    s.p99 = rank(0.99);
    s.max = values.back();
    double total = 0;
    for (double v : values) total += v;
    s.mean = total / static_cast<double>(values.size());
    return s;
}

// The first and the last `window` timings of a run (at most half of them each), to see whether
// handling slows down as the run goes on.
inline void printDrift(const char* label, const std::vector<double>& times, std::size_t window = 10000) {
    window = std::min(window, times.size() / 2);
    if (window == 0) return;
    const auto span = static_cast<std::ptrdiff_t>(window);
    const Summary first = summarize({times.begin(), times.begin() + span});
    const Summary last = summarize({times.end() - span, times.end()});
    std::printf("%-30s first %zu: median %.1f us; last %zu: median %.1f us (%+.1f %%)\n", label, window,
                first.median, window, last.median, (last.median / first.median - 1) * 100);
}

}  // namespace simboard
