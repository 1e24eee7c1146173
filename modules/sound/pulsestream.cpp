#include "modules/sound/pulsestream.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/proplist.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

namespace {

// Who plays: the program's name and the icon of its desktop entry.
void describeProgram(pa_proplist* p) {
    pa_proplist_sets(p, PA_PROP_APPLICATION_NAME, "Звонарька");
    pa_proplist_sets(p, PA_PROP_APPLICATION_ICON_NAME, "zvonarka");
}

void signalLoop(void* loop) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}

// Locks the loop for the scope.
class Locked {
public:
    explicit Locked(pa_threaded_mainloop* loop) : m_loop(loop) { pa_threaded_mainloop_lock(loop); }
    ~Locked() { pa_threaded_mainloop_unlock(m_loop); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    pa_threaded_mainloop* m_loop;
};

} // namespace

std::unique_ptr<PulseStream> PulseStream::open(const pa_sample_spec& spec,
                                               const pa_buffer_attr& buffering) {
    std::unique_ptr<PulseStream> s(new PulseStream);
    s->m_loop = pa_threaded_mainloop_new();
    if (s->m_loop == nullptr)
        return nullptr;
    pa_proplist* client = pa_proplist_new();
    describeProgram(client);
    s->m_context =
        pa_context_new_with_proplist(pa_threaded_mainloop_get_api(s->m_loop), "Звонарька", client);
    pa_proplist_free(client);
    if (s->m_context == nullptr)
        return nullptr;
    pa_context_set_state_callback(
        s->m_context, [](pa_context*, void* loop) { signalLoop(loop); }, s->m_loop);
    // The server comes from the usual places (PULSE_SERVER, client.conf, the
    // session's socket).
    if (pa_context_connect(s->m_context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0)
        return nullptr;
    {
        Locked lock(s->m_loop);
        if (pa_threaded_mainloop_start(s->m_loop) < 0)
            return nullptr;
        for (;;) {
            const pa_context_state_t state = pa_context_get_state(s->m_context);
            if (state == PA_CONTEXT_READY)
                break;
            if (!PA_CONTEXT_IS_GOOD(state))
                return nullptr;
            pa_threaded_mainloop_wait(s->m_loop);
        }
        pa_proplist* props = pa_proplist_new();
        describeProgram(props);
        // What it is: an alarm, which role-based policies (ducking, corking,
        // routing to a chosen device) know.
        pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "alarm");
        s->m_stream =
            pa_stream_new_with_proplist(s->m_context, "alarm sound", &spec, nullptr, props);
        pa_proplist_free(props);
        if (s->m_stream == nullptr)
            return nullptr;
        pa_stream_set_state_callback(
            s->m_stream, [](pa_stream*, void* loop) { signalLoop(loop); }, s->m_loop);
        pa_stream_set_write_callback(
            s->m_stream, [](pa_stream*, std::size_t, void* loop) { signalLoop(loop); }, s->m_loop);
        pa_stream_set_latency_update_callback(
            s->m_stream, [](pa_stream*, void* loop) { signalLoop(loop); }, s->m_loop);
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE);
        if (pa_stream_connect_playback(s->m_stream, nullptr, &buffering, flags, nullptr, nullptr) <
            0)
            return nullptr;
        for (;;) {
            const pa_stream_state_t state = pa_stream_get_state(s->m_stream);
            if (state == PA_STREAM_READY)
                break;
            if (!PA_STREAM_IS_GOOD(state))
                return nullptr;
            pa_threaded_mainloop_wait(s->m_loop);
        }
    }
    return s;
}

PulseStream::~PulseStream() {
    if (m_loop != nullptr)
        pa_threaded_mainloop_stop(m_loop);
    if (m_stream != nullptr)
        pa_stream_unref(m_stream);
    if (m_context != nullptr) {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
    if (m_loop != nullptr)
        pa_threaded_mainloop_free(m_loop);
}

bool PulseStream::good() const {
    return PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)) &&
           PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream));
}

bool PulseStream::write(const void* data, std::size_t bytes) {
    Locked lock(m_loop);
    const auto* at = static_cast<const char*>(data);
    while (bytes > 0) {
        std::size_t room = 0;
        while ((room = pa_stream_writable_size(m_stream)) == 0) {
            if (!good())
                return false;
            pa_threaded_mainloop_wait(m_loop);
        }
        if (room == static_cast<std::size_t>(-1))
            return false;
        if (room > bytes)
            room = bytes;
        if (pa_stream_write(m_stream, at, room, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return false;
        at += room;
        bytes -= room;
    }
    return true;
}

void PulseStream::await(pa_operation* operation) {
    if (operation == nullptr)
        return;
    while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
        if (!good()) {
            pa_operation_cancel(operation);
            break;
        }
        pa_threaded_mainloop_wait(m_loop);
    }
    pa_operation_unref(operation);
}

void PulseStream::flush() {
    Locked lock(m_loop);
    await(pa_stream_flush(
        m_stream, [](pa_stream*, int, void* loop) { signalLoop(loop); }, m_loop));
}

void PulseStream::drain() {
    Locked lock(m_loop);
    await(pa_stream_drain(
        m_stream, [](pa_stream*, int, void* loop) { signalLoop(loop); }, m_loop));
}

std::optional<pa_usec_t> PulseStream::latency() {
    Locked lock(m_loop);
    for (;;) {
        if (!good())
            return std::nullopt;
        pa_usec_t time = 0;
        int negative = 0;
        if (pa_stream_get_latency(m_stream, &time, &negative) >= 0)
            return negative != 0 ? 0 : time;
        if (pa_context_errno(m_context) != PA_ERR_NODATA)
            return std::nullopt;
        pa_threaded_mainloop_wait(m_loop);
    }
}
