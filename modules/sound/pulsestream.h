#pragma once

#include <pulse/def.h>
#include <pulse/sample.h>

#include <cstddef>
#include <memory>
#include <optional>

struct pa_context;
struct pa_operation;
struct pa_stream;
struct pa_threaded_mainloop;

// One playback stream to the sound server, used from one thread: each call
// blocks until the server has done what was asked, as PulseAudio's simple
// API does, but the stream tells the server what it is (an alarm, of this
// program) so that desktop sound policies can treat it as one. Volume and
// mute stay the server's and the user's.
class PulseStream final {
public:
    // The stream connected, or nothing when there is no server or device.
    static std::unique_ptr<PulseStream> open(const pa_sample_spec& spec,
                                             const pa_buffer_attr& buffering);
    ~PulseStream();
    PulseStream(const PulseStream&) = delete;
    PulseStream& operator=(const PulseStream&) = delete;

    // False when the stream failed.
    bool write(const void* data, std::size_t bytes);
    // Drops what the server has not played yet.
    void flush();
    // Waits until the server has played everything written.
    void drain();
    // How long what is written takes to be heard; nothing when unknown.
    std::optional<pa_usec_t> latency();

private:
    PulseStream() = default;
    bool good() const;
    // Waits on the loop until an operation is done or the stream fails.
    void await(pa_operation* operation);

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
};
