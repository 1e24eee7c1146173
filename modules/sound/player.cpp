// The sound module: holds the three waves and plays one at a time through
// PulseAudio (or PipeWire's PulseAudio service) on a thread of its own, so the
// caller returns at once and may block its own thread while the sound plays.

#include "modules/sound/pulsestream.h"
#include "modules/sound/soundapi.h"
#include "modules/sound/synth.h"
#include "modules/sound/waves.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <type_traits>

namespace {

using sounds::Sound;

constexpr std::size_t kBytesPerSample = sizeof(std::int16_t);

// Written a slice at a time so that a new start or a stop is seen within one
// slice even when the server's buffer is full.
constexpr std::size_t kSliceSamples = sounds::kSampleRate / 20; // 50 ms
// Enough buffered ahead to ride out scheduling delays of this thread.
constexpr std::uint32_t kTargetBytes = sounds::kSampleRate * 2 / 5 * kBytesPerSample; // 400 ms
constexpr std::uint32_t kStartBytes = sounds::kSampleRate / 10 * kBytesPerSample;     // 100 ms

class Player final {
public:
    Player() = default;
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Ends the playing thread, cutting off any sound.
    void shutdown() {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        if (!m_thread.joinable())
            return;
        // The thread leaves within one slice of sound, unless a sound server
        // that stopped answering holds it; the program's exit does not wait
        // for such a server.
        std::unique_lock lock(m_mutex);
        if (m_wake.wait_for(lock, std::chrono::seconds(2), [this] { return m_finished; })) {
            lock.unlock();
            m_thread.join();
        } else {
            m_thread.detach();
        }
    }

    void play(Sound sound) { request(sound); }
    void stop() { request(std::nullopt); }

private:
    void request(std::optional<Sound> sound) {
        {
            std::lock_guard lock(m_mutex);
            if (m_quit)
                return;
            m_pending = sound;
            ++m_generation;
            // The thread, and with it the first contact with the sound server,
            // starts with the first sound, never on the caller's thread.
            if (!m_thread.joinable() && sound)
                m_thread = std::thread([this] { run(); });
        }
        m_wake.notify_all();
    }

    // What the playing thread is asked to do next: a generation it has not
    // seen yet means "drop what you are doing".
    struct Order {
        std::uint64_t generation;
        std::optional<Sound> sound;
        bool quit;
    };

    Order waitForOrder(std::uint64_t seen) {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [&] { return m_quit || m_generation != seen; });
        return {m_generation, m_pending, m_quit};
    }

    bool superseded(std::uint64_t generation) {
        std::lock_guard lock(m_mutex);
        return m_quit || m_generation != generation;
    }

    // Sleeps until the time is up or a new order arrives; true if one did.
    bool waitOrSuperseded(std::uint64_t generation, std::chrono::microseconds time) {
        std::unique_lock lock(m_mutex);
        return m_wake.wait_for(lock, time, [&] { return m_quit || m_generation != generation; });
    }

    static std::unique_ptr<PulseStream> connect() {
        pa_sample_spec spec{};
        spec.format = PA_SAMPLE_S16LE;
        spec.rate = sounds::kSampleRate;
        spec.channels = 1;
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = kTargetBytes;
        attr.prebuf = kStartBytes;
        attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(-1);
        // No server, no device: no sound, nothing said.
        return PulseStream::open(spec, attr);
    }

    void run() {
        play();
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_wake.notify_all();
    }

    enum class Outcome { Finished, CutOff, Failed };

    void play() {
        std::unique_ptr<PulseStream> stream;
        std::uint64_t seen = 0;
        for (;;) {
            const Order order = waitForOrder(seen);
            seen = order.generation;
            if (order.quit)
                break;
            if (!order.sound) {
                // Stop: whatever was still buffered is dropped.
                if (stream) {
                    stream->flush();
                    stream.reset();
                }
                continue;
            }
            if (stream) {
                // A sound is cut off by the next one.
                stream->flush();
            } else {
                stream = connect();
                if (!stream)
                    continue;
            }
            // Cut off, the stream stays open for the order that cut it off.
            if (playOut(*stream, sounds::builtWave(*order.sound), seen) == Outcome::CutOff)
                continue;
            stream.reset();
        }
        if (stream)
            stream->flush();
    }

    // Plays one wave to its end, unless a new order or a failure breaks it off.
    Outcome playOut(PulseStream& stream, std::span<const std::int16_t> samples,
                    std::uint64_t generation) {
        for (std::size_t at = 0; at < samples.size(); at += kSliceSamples) {
            if (superseded(generation))
                return Outcome::CutOff;
            const std::size_t n = std::min(kSliceSamples, samples.size() - at);
            if (!stream.write(samples.data() + at, n * kBytesPerSample))
                return Outcome::Failed;
        }
        // All of it is with the server now; it is heard over the next while.
        // Wait for that here, ready to cut it off, rather than blocking in drain.
        const std::optional<pa_usec_t> latency = stream.latency();
        if (latency && waitOrSuperseded(generation, std::chrono::microseconds(*latency)))
            return Outcome::CutOff;
        stream.drain();
        return Outcome::Finished;
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Sound> m_pending;
    std::uint64_t m_generation = 0;
    bool m_quit = false;
    bool m_finished = false;
    std::thread m_thread;
};

// Ends the player when the process exits.
struct ShutdownAtExit {
    Player* player;
    ~ShutdownAtExit() { player->shutdown(); }
};

Player& player() {
    // Never destroyed: a thread held up by an unresponsive sound server may
    // still touch it while the process exits.
    static Player* const instance = new Player;
    static const ShutdownAtExit atExit{instance};
    return *instance;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int zv_play_sound(const char* name) {
    if (!name)
        return 1;
    const std::optional<Sound> sound = sounds::soundByName(name);
    if (!sound)
        return 1;
    player().play(*sound);
    return 0;
}

extern "C" __attribute__((visibility("default"))) void zv_stop_sound(void) {
    player().stop();
}

// The typedefs in soundapi.h are what the program casts the looked-up symbols
// to; make sure they describe these very functions.
static_assert(std::is_same_v<decltype(&zv_play_sound), zv_play_sound_fn>);
static_assert(std::is_same_v<decltype(&zv_stop_sound), zv_stop_sound_fn>);
