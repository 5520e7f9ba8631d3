#include "platform/sound.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace platform {

namespace {

constexpr unsigned kRate = 44100;

void silence(std::int32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// ALSA reports missing devices on standard error; a beep without a sound card is no news.
void quietErrors(const char*, int, const char*, int, const char*, ...) {}

bool play(std::int32_t hertz, std::int32_t milliseconds) {
    snd_lib_error_set_handler(quietErrors);
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0)
        return false;
    if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kRate, 1, 100000) < 0) {
        snd_pcm_close(pcm);
        return false;
    }
    // A square wave, written a tenth of a second at a time whatever the duration.
    const auto frames = static_cast<std::uint64_t>(kRate) * static_cast<std::uint64_t>(milliseconds) / 1000u;
    std::vector<std::int16_t> samples(kRate / 10);
    const double step = 2.0 * M_PI * hertz / kRate;
    std::uint64_t done = 0;
    bool ok = true;
    while (ok && done < frames) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(samples.size(), frames - done));
        for (std::size_t i = 0; i < count; ++i)
            samples[i] = static_cast<std::int16_t>(std::sin(step * static_cast<double>(done + i)) > 0 ? 8000 : -8000);
        std::size_t written = 0;
        while (written < count) {
            const snd_pcm_sframes_t result = snd_pcm_writei(pcm, samples.data() + written, count - written);
            if (result < 0) {
                if (snd_pcm_recover(pcm, static_cast<int>(result), 1) < 0) {
                    ok = false;
                    break;
                }
                continue;
            }
            written += static_cast<std::size_t>(result);
        }
        done += count;
    }
    if (ok)
        snd_pcm_drain(pcm);
    snd_pcm_close(pcm);
    return ok;
}

}  // namespace

void playTone(std::int32_t hertz, std::int32_t milliseconds) {
    if (milliseconds <= 0)
        return;
    const auto started = std::chrono::steady_clock::now();
    if (hertz >= kLowestTone && hertz <= kHighestTone)
        play(hertz, milliseconds);
    // Whatever part of the duration the device did not take (none, when there is no
    // device) is waited in silence, so a beep always lasts its duration.
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    if (spent < milliseconds)
        silence(static_cast<std::int32_t>(milliseconds - spent));
}

}  // namespace platform
