#include "modules/sound/synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>

namespace sounds {

namespace {

constexpr double kRate = kSampleRate;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Peak level of every wave: loud enough to be heard over a room, with head
// room left so that resampling in the sound server cannot clip.
constexpr double kPeak = 0.7;

std::size_t samplesFor(double seconds) {
    return static_cast<std::size_t>(std::lround(seconds * kRate));
}

// Raised-cosine ramp from 0 to 1 over [0, 1]: no corner, so no click.
double smoothRamp(double x) {
    if (x <= 0.0)
        return 0.0;
    if (x >= 1.0)
        return 1.0;
    return 0.5 - 0.5 * std::cos(std::numbers::pi * x);
}

// One second-order section, coefficients after the well-known audio EQ
// cookbook. Only the shapes the voices need are provided.
class Biquad final {
public:
    static Biquad bandPass(double freq, double q) {
        const double w = kTwoPi * freq / kRate;
        const double alpha = std::sin(w) / (2.0 * q);
        const double a0 = 1.0 + alpha;
        return Biquad(alpha / a0, 0.0, -alpha / a0, -2.0 * std::cos(w) / a0, (1.0 - alpha) / a0);
    }
    static Biquad highPass(double freq, double q) {
        const double w = kTwoPi * freq / kRate;
        const double alpha = std::sin(w) / (2.0 * q);
        const double c = std::cos(w);
        const double a0 = 1.0 + alpha;
        return Biquad((1.0 + c) / 2.0 / a0, -(1.0 + c) / a0, (1.0 + c) / 2.0 / a0, -2.0 * c / a0,
                      (1.0 - alpha) / a0);
    }
    static Biquad lowPass(double freq, double q) {
        const double w = kTwoPi * freq / kRate;
        const double alpha = std::sin(w) / (2.0 * q);
        const double c = std::cos(w);
        const double a0 = 1.0 + alpha;
        return Biquad((1.0 - c) / 2.0 / a0, (1.0 - c) / a0, (1.0 - c) / 2.0 / a0, -2.0 * c / a0,
                      (1.0 - alpha) / a0);
    }

    double process(double x) {
        const double y = m_b0 * x + m_z1;
        m_z1 = m_b1 * x - m_a1 * y + m_z2;
        m_z2 = m_b2 * x - m_a2 * y;
        return y;
    }

private:
    Biquad(double b0, double b1, double b2, double a1, double a2)
        : m_b0(b0), m_b1(b1), m_b2(b2), m_a1(a1), m_a2(a2) {}

    double m_b0, m_b1, m_b2, m_a1, m_a2;
    double m_z1 = 0.0;
    double m_z2 = 0.0;
};

// A fixed seed for every wave: the noise in a sound is part of its data.
class Noise final {
public:
    explicit Noise(unsigned seed) : m_engine(seed) {}
    double next() { return m_dist(m_engine); }

private:
    std::minstd_rand m_engine;
    std::uniform_real_distribution<double> m_dist{-1.0, 1.0};
};

// Oscillator phase kept in [0, 2π) so long sounds keep their precision.
class Phase final {
public:
    double advance(double freq) {
        const double p = m_phase;
        m_phase += kTwoPi * freq / kRate;
        if (m_phase >= kTwoPi)
            m_phase -= kTwoPi;
        return p;
    }

private:
    double m_phase = 0.0;
};

// Scales to the common peak, softens the very first and last milliseconds so
// that starting or cutting the wave never clicks, and converts to 16 bits.
std::vector<std::int16_t> finish(const std::vector<double>& wave) {
    double peak = 0.0;
    for (double x : wave)
        peak = std::max(peak, std::abs(x));
    const double gain = peak > 0.0 ? kPeak / peak : 0.0;

    const std::size_t n = wave.size();
    const std::size_t fadeIn = std::min(n / 2, samplesFor(0.003));
    const std::size_t fadeOut = std::min(n / 2, samplesFor(0.030));
    std::vector<std::int16_t> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        double g = gain;
        if (i < fadeIn)
            g *= smoothRamp(static_cast<double>(i) / static_cast<double>(fadeIn));
        if (i + fadeOut >= n)
            g *= smoothRamp(static_cast<double>(n - 1 - i) / static_cast<double>(fadeOut));
        out[i] = static_cast<std::int16_t>(std::lround(wave[i] * g * 32767.0));
    }
    return out;
}

// --- cuckoo -----------------------------------------------------------------
//
// A cuckoo clock sounds two small stopped wooden pipes, each blown by its own
// bellows: a soft, flute-like tone made mostly of odd harmonics, with a little
// breath noise and a pitch that settles in the first few milliseconds.

void pipeNote(std::vector<double>& out, double start, double length, double freq, Noise& noise) {
    const std::size_t first = samplesFor(start);
    const std::size_t count = samplesFor(length);
    const double attack = 0.025;
    const double release = 0.12;
    Biquad breath = Biquad::bandPass(freq, 4.0);
    Biquad breathHigh = Biquad::bandPass(freq * 3.0, 3.0);
    Phase phase;
    for (std::size_t i = 0; i < count && first + i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        double env = smoothRamp(t / attack) * std::exp(-t / 1.2);
        if (t > length - release)
            env *= 1.0 - smoothRamp((t - (length - release)) / release);
        // The bellows overblow the pipe for a moment as the air arrives.
        const double f = freq * (1.0 + 0.012 * std::exp(-t / 0.02));
        const double p = phase.advance(f);
        const double tone = std::sin(p) + 0.12 * std::sin(2.0 * p) + 0.22 * std::sin(3.0 * p) +
                            0.06 * std::sin(5.0 * p);
        const double n = noise.next();
        const double air = 0.9 * breath.process(n) + 0.4 * breathHigh.process(n);
        // The breath is loudest while the tone speaks.
        const double airEnv = 0.35 + 0.65 * std::exp(-t / 0.04);
        out[first + i] += env * (tone + airEnv * air);
    }
}

std::vector<double> cuckoo() {
    // E5 then C#5, a minor third down; the second call is the longer one.
    std::vector<double> out(samplesFor(0.95), 0.0);
    Noise noise(0xC0C0u);
    pipeNote(out, 0.010, 0.26, 659.26, noise);
    pipeNote(out, 0.370, 0.52, 554.37, noise);
    return out;
}

// --- rooster ----------------------------------------------------------------
//
// A crow is a buzzy, strongly voiced call: a harmonic-rich source at a high,
// gliding pitch, shaped by vowel-like resonances and roughened by a fast
// irregular flutter. "Cock-a-doodle-doo" is five syllables with the last one
// long, rising first and falling away at the end.

struct Syllable {
    double start;
    double length;
    std::array<double, 3> pitch; // at start, middle and end
    std::array<double, 3> formants;
    double level;
    double release;
};

void crowSyllable(std::vector<double>& out, const Syllable& s, Noise& noise) {
    const std::size_t first = samplesFor(s.start);
    const std::size_t count = samplesFor(s.length);
    std::array<Biquad, 3> formant = {Biquad::bandPass(s.formants[0], 5.0),
                                     Biquad::bandPass(s.formants[1], 6.0),
                                     Biquad::bandPass(s.formants[2], 8.0)};
    constexpr std::array<double, 3> formantGain = {1.0, 0.8, 0.45};
    Biquad flutterFilter = Biquad::lowPass(70.0, 0.7);
    Biquad hiss = Biquad::highPass(2500.0, 0.7);
    Phase phase;
    Phase wobble;
    const double attack = 0.018;
    for (std::size_t i = 0; i < count && first + i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double x = t / s.length;
        const double f0 = x < 0.5
                              ? s.pitch[0] + (s.pitch[1] - s.pitch[0]) * smoothRamp(x * 2.0)
                              : s.pitch[1] + (s.pitch[2] - s.pitch[1]) * smoothRamp(x * 2.0 - 1.0);
        const double flutter = flutterFilter.process(noise.next());
        const double f = f0 * (1.0 + 0.012 * std::sin(wobble.advance(7.0)) + 0.15 * flutter);
        const double p = phase.advance(f);

        // Band-limited buzz: harmonics falling off slowly, stopped below Nyquist.
        double buzz = 0.0;
        const int harmonics = std::min(36, static_cast<int>(0.45 * kRate / f));
        for (int k = 1; k <= harmonics; ++k)
            buzz += std::sin(k * p) / std::pow(k, 0.8);
        buzz *= 1.0 + 1.6 * flutter; // the rasp of the crow

        double voiced = 0.12 * buzz;
        for (std::size_t k = 0; k < formant.size(); ++k)
            voiced += formantGain[k] * formant[k].process(buzz);
        const double breath = 0.04 * hiss.process(noise.next());

        double env = s.level * smoothRamp(t / attack);
        if (t > s.length - s.release)
            env *= 1.0 - smoothRamp((t - (s.length - s.release)) / s.release);
        out[first + i] += env * (voiced + breath);
    }
}

std::vector<double> rooster() {
    std::vector<double> out(samplesFor(1.90), 0.0);
    Noise noise(0x0C0Cu);
    const std::array<Syllable, 5> crow = {{
        // cock
        {0.010, 0.15, {470.0, 560.0, 600.0}, {600.0, 1000.0, 2600.0}, 0.8, 0.035},
        // a
        {0.200, 0.12, {620.0, 680.0, 700.0}, {800.0, 1250.0, 2700.0}, 0.85, 0.03},
        // doo
        {0.360, 0.24, {680.0, 780.0, 820.0}, {450.0, 900.0, 2500.0}, 1.0, 0.04},
        // dle
        {0.630, 0.15, {800.0, 760.0, 740.0}, {600.0, 1700.0, 2700.0}, 0.85, 0.03},
        // doo, held, then falling away
        {0.820, 0.98, {780.0, 880.0, 560.0}, {520.0, 1000.0, 2600.0}, 1.0, 0.22},
    }};
    for (const Syllable& s : crow)
        crowSyllable(out, s, noise);
    return out;
}

// --- chimes -----------------------------------------------------------------
//
// Clock bells: each strike excites a set of inharmonic partials (hum, prime,
// minor-third tierce, quint, nominal and the bright upper partials), every one
// dying away exponentially, the high ones fastest. Each partial is a pair of
// slightly detuned components, which gives a bell its slow beating.

struct Partial {
    double ratio; // to the strike note
    double level;
    double decay; // time constant, seconds
};

constexpr std::array<Partial, 10> kBell = {{
    {0.25, 0.30, 0.95},
    {0.50, 0.45, 0.80},
    {0.60, 0.40, 0.65},
    {0.75, 0.22, 0.50},
    {1.00, 0.80, 0.55},
    {1.25, 0.24, 0.30},
    {1.34, 0.20, 0.26},
    {1.50, 0.16, 0.20},
    {2.00, 0.10, 0.14},
    {2.62, 0.07, 0.09},
}};

void bellStrike(std::vector<double>& out, double start, double note, double level, Noise& noise) {
    const std::size_t first = samplesFor(start);
    const std::size_t count = out.size() > first ? out.size() - first : 0;
    std::array<Phase, kBell.size()> low{};
    std::array<Phase, kBell.size()> high{};
    Biquad clang = Biquad::highPass(3000.0, 0.7);
    // Each partial's level is carried from sample to sample: one multiply
    // instead of an exponential per sample keeps the first play prompt.
    std::array<double, kBell.size()> amp{};
    std::array<double, kBell.size()> fall{};
    for (std::size_t k = 0; k < kBell.size(); ++k) {
        amp[k] = kBell[k].level * 0.5;
        fall[k] = std::exp(-1.0 / (kBell[k].decay * kRate));
    }
    const double attack = 0.0015;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double onset = smoothRamp(t / attack);
        double y = 0.0;
        for (std::size_t k = 0; k < kBell.size(); ++k) {
            const double f = note * kBell[k].ratio;
            const double beat = 0.4 + 0.3 * static_cast<double>(k); // Hz between the pair
            y += amp[k] * (std::sin(low[k].advance(f)) + std::sin(high[k].advance(f + beat)));
            amp[k] *= fall[k];
        }
        // The hammer's contact: a short metallic click.
        const double hit =
            t < 0.03 ? 0.5 * std::exp(-t / 0.004) * clang.process(noise.next()) : 0.0;
        out[first + i] += level * onset * (y + hit);
    }
}

std::vector<double> chimes() {
    std::vector<double> out(samplesFor(2.70), 0.0);
    Noise noise(0xB311u);
    // A descending quarter-chime phrase: G#5, F#5, E5, then B4 to close.
    bellStrike(out, 0.010, 830.61, 0.9, noise);
    bellStrike(out, 0.430, 739.99, 0.9, noise);
    bellStrike(out, 0.850, 659.26, 0.9, noise);
    bellStrike(out, 1.270, 493.88, 1.0, noise);
    // Let the last bell ring down rather than stop dead at the end.
    const std::size_t fade = samplesFor(0.6);
    for (std::size_t i = 0; i < fade; ++i)
        out[out.size() - 1 - i] *= smoothRamp(static_cast<double>(i) / static_cast<double>(fade));
    return out;
}

} // namespace

std::optional<Sound> soundByName(std::string_view name) {
    if (name.size() != 2)
        return std::nullopt;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    const char a = lower(name[0]);
    const char b = lower(name[1]);
    if (a == 'c' && b == 'o')
        return Sound::Cuckoo;
    if (a == 'r' && b == 'o')
        return Sound::Rooster;
    if (a == 'c' && b == 'h')
        return Sound::Chimes;
    return std::nullopt;
}

std::vector<std::int16_t> synthesize(Sound sound) {
    switch (sound) {
    case Sound::Cuckoo:
        return finish(cuckoo());
    case Sound::Rooster:
        return finish(rooster());
    case Sound::Chimes:
        return finish(chimes());
    }
    return {};
}

} // namespace sounds
