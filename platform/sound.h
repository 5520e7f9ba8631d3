// A tone through the sound card: the runner's beep.
#pragma once

#include <cstdint>

namespace platform {

inline constexpr std::int32_t kLowestTone = 37;
inline constexpr std::int32_t kHighestTone = 32767;

// Plays a tone of [hertz] for [milliseconds] through ALSA's default device and returns
// when it has ended. Without a sound device, or for a frequency outside 37..32767 Hz,
// waits the duration in silence. Never fails.
void playTone(std::int32_t hertz, std::int32_t milliseconds);

}  // namespace platform
