#pragma once

// Measurements on 16-bit mono PCM shared by the synthesis tests and the
// recording tests, so both judge a wave by the same yardstick.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace wave {

constexpr double kFullScale = 32768.0;

inline double rms(std::span<const std::int16_t> x) {
    if (x.empty())
        return 0.0;
    double sum = 0.0;
    for (std::int16_t s : x)
        sum += double(s) * double(s);
    return std::sqrt(sum / double(x.size())) / kFullScale;
}

inline double peak(std::span<const std::int16_t> x) {
    int p = 0;
    for (std::int16_t s : x)
        p = std::max(p, std::abs(int(s)));
    return p / kFullScale;
}

// RMS of consecutive windows, as a fraction of full scale.
inline std::vector<double> envelope(std::span<const std::int16_t> x, std::size_t window) {
    std::vector<double> env;
    for (std::size_t at = 0; at + window <= x.size(); at += window)
        env.push_back(rms(x.subspan(at, window)));
    return env;
}

struct Burst {
    std::size_t begin; // sample of the first loud window
    std::size_t end;   // one past the last loud window
};

// Stretches of sound: windows above the threshold, with quiet gaps shorter
// than or as long as minGap (inside one call) bridged.
inline std::vector<Burst> bursts(std::span<const std::int16_t> x, std::size_t window,
                                 double threshold, std::size_t minGap) {
    const std::vector<double> env = envelope(x, window);
    std::vector<Burst> found;
    for (std::size_t i = 0; i < env.size(); ++i) {
        if (env[i] < threshold)
            continue;
        const std::size_t begin = i * window;
        const std::size_t end = (i + 1) * window;
        if (!found.empty() && begin - found.back().end <= minGap)
            found.back().end = end;
        else
            found.push_back({begin, end});
    }
    return found;
}

// Normalised correlation of two equally long stretches: 1 for the same shape
// at any level, near 0 for unrelated sounds.
inline double correlation(std::span<const std::int16_t> a, std::span<const std::int16_t> b) {
    const std::size_t n = std::min(a.size(), b.size());
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        ab += double(a[i]) * double(b[i]);
        aa += double(a[i]) * double(a[i]);
        bb += double(b[i]) * double(b[i]);
    }
    if (aa == 0.0 || bb == 0.0)
        return 0.0;
    return ab / std::sqrt(aa * bb);
}

// Where `part` lies in `whole` near `guess` (within ±reach samples): the
// offset of the best correlation and its value.
struct Match {
    std::size_t offset = 0;
    double correlation = 0.0;
};

inline Match locate(std::span<const std::int16_t> whole, std::span<const std::int16_t> part,
                    std::ptrdiff_t guess, std::ptrdiff_t reach) {
    // The search runs on the first stretch of the part only, then the whole
    // part is judged at and right around the place found.
    constexpr std::size_t kProbe = 4800;
    const auto probe = part.first(std::min(part.size(), kProbe));
    const auto fits = [&](std::ptrdiff_t off) {
        return off >= 0 && std::size_t(off) + part.size() <= whole.size();
    };
    Match best;
    std::ptrdiff_t bestOff = -1;
    double bestProbe = 0.0;
    for (std::ptrdiff_t off = guess - reach; off <= guess + reach; ++off) {
        if (!fits(off))
            continue;
        const double c = correlation(whole.subspan(std::size_t(off), probe.size()), probe);
        if (c > bestProbe) {
            bestProbe = c;
            bestOff = off;
        }
    }
    if (bestOff < 0)
        return best;
    for (std::ptrdiff_t off = bestOff - 2; off <= bestOff + 2; ++off) {
        if (!fits(off))
            continue;
        const double c = correlation(whole.subspan(std::size_t(off), part.size()), part);
        if (c > best.correlation)
            best = {std::size_t(off), c};
    }
    return best;
}

// The strongest periodicity between minHz and maxHz, by autocorrelation.
inline double pitch(std::span<const std::int16_t> x, int rate, double minHz, double maxHz) {
    const auto minLag = std::size_t(rate / maxHz);
    const auto maxLag = std::size_t(rate / minHz);
    double bestValue = -1.0;
    std::size_t bestLag = 0;
    for (std::size_t lag = minLag; lag <= maxLag && lag < x.size(); ++lag) {
        const double c = correlation(x.subspan(0, x.size() - lag), x.subspan(lag));
        if (c > bestValue) {
            bestValue = c;
            bestLag = lag;
        }
    }
    return bestLag ? double(rate) / double(bestLag) : 0.0;
}

// Share of the signal's power in its first difference: grows with the weight
// of high frequencies, so a buzzing voice scores above a soft pipe.
inline double brightness(std::span<const std::int16_t> x) {
    double d = 0.0, s = 0.0;
    for (std::size_t i = 1; i < x.size(); ++i) {
        const double diff = double(x[i]) - double(x[i - 1]);
        d += diff * diff;
        s += double(x[i]) * double(x[i]);
    }
    return s > 0.0 ? d / s : 0.0;
}

} // namespace wave
