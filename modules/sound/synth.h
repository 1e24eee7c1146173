#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// The three waves of the sound module, made by the program itself. Each is
// mono 16-bit PCM at kSampleRate, and the same samples come out on every call,
// so a recording of the module's output can be checked against them.
namespace sounds {

inline constexpr int kSampleRate = 48000;

enum class Sound {
    Cuckoo,  // "co": two falling notes of a cuckoo clock's pipes
    Rooster, // "ro": a rooster's crow
    Chimes,  // "ch": a phrase of clock bell strikes
};

// "co", "ro" and "ch", letter case ignored; anything else has no wave.
std::optional<Sound> soundByName(std::string_view name);

std::vector<std::int16_t> synthesize(Sound sound);

} // namespace sounds
