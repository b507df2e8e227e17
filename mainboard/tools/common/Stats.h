#pragma once
// Order statistics of a set of timings, for the benchmarks' reports.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace simboard {

struct Summary {
    std::size_t count = 0;
    double median = 0;
    double p99 = 0;
    double mean = 0;
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
    double total = 0;
    for (double v : values) total += v;
    s.mean = total / static_cast<double>(values.size());
    return s;
}

}  // namespace simboard
