#pragma once

// The figures a benchmark prints for a series of timings: median, least and
// most, in the table's "Name median_ms=… min_ms=… max_ms=…" form.

#include <algorithm>
#include <cstddef>
#include <vector>

struct Stats {
    double median, min, max;
};

inline Stats stats(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const std::size_t n = ms.size();
    if (n == 0)
        return {0, 0, 0};
    const double median = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
    return {median, ms.front(), ms.back()};
}
