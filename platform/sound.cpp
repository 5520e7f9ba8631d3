#include "platform/sound.h"

#include <alsa/asoundlib.h>

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
    const auto frames = static_cast<std::size_t>(static_cast<std::uint64_t>(kRate) * static_cast<std::uint64_t>(milliseconds) / 1000u);
    std::vector<std::int16_t> samples(frames);
    const double step = 2.0 * M_PI * hertz / kRate;
    for (std::size_t i = 0; i < frames; ++i)
        samples[i] = static_cast<std::int16_t>(std::sin(step * static_cast<double>(i)) > 0 ? 8000 : -8000);
    std::size_t done = 0;
    bool ok = true;
    while (done < frames) {
        const snd_pcm_sframes_t written = snd_pcm_writei(pcm, samples.data() + done, frames - done);
        if (written < 0) {
            if (snd_pcm_recover(pcm, static_cast<int>(written), 1) < 0) {
                ok = false;
                break;
            }
            continue;
        }
        done += static_cast<std::size_t>(written);
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
    if (hertz >= kLowestTone && hertz <= kHighestTone && play(hertz, milliseconds))
        return;
    // Whatever part of the duration a failed attempt did not take is waited in silence.
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    if (spent < milliseconds)
        silence(static_cast<std::int32_t>(milliseconds - spent));
}

}  // namespace platform
