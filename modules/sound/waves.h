#pragma once

#include "modules/sound/synth.h"

#include <cstdint>
#include <span>

namespace sounds {

// The waves as the module carries them: made by synthesize() when the module
// is built, so that playing one never waits for its synthesis.
std::span<const std::int16_t> builtWave(Sound sound);

} // namespace sounds
