#include "audio/pulse_info.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>

#include <chrono>

namespace {

constexpr auto kAnswerTime = std::chrono::seconds(2);

// One connection to the server with its own main loop, run on this thread.
class Session {
public:
    Session() {
        m_loop = pa_mainloop_new();
        if (m_loop)
            m_context = pa_context_new(pa_mainloop_get_api(m_loop), "korvalo-cor");
    }
    ~Session() {
        if (m_context) {
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
        }
        if (m_loop)
            pa_mainloop_free(m_loop);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Connects (no autospawn); false with `error` set when no server answers.
    bool connect(std::string& error) {
        if (!m_context) {
            error = "out of memory";
            return false;
        }
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            error = pa_strerror(pa_context_errno(m_context));
            return false;
        }
        const bool ready = runUntil([this] {
            const pa_context_state_t s = pa_context_get_state(m_context);
            return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
        });
        if (!ready || pa_context_get_state(m_context) != PA_CONTEXT_READY) {
            error = ready ? pa_strerror(pa_context_errno(m_context))
                          : "the sound server does not answer";
            return false;
        }
        return true;
    }

    // Runs the loop until `done` holds or the answer time has passed.
    template <class Pred> bool runUntil(Pred done) {
        const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
        while (!done()) {
            const auto left = deadline - std::chrono::steady_clock::now();
            if (left <= decltype(left)::zero())
                return false;
            const auto us = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
            if (pa_mainloop_prepare(m_loop, static_cast<int>(us)) < 0 ||
                pa_mainloop_poll(m_loop) < 0 || pa_mainloop_dispatch(m_loop) < 0)
                return false;
        }
        return true;
    }

    pa_context* context() const { return m_context; }

private:
    pa_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
};

struct SourceAnswer {
    bool done = false;
    bool found = false;
    PulseSourceFormat format;
};

void onSourceInfo(pa_context*, const pa_source_info* info, int eol, void* user) {
    auto* a = static_cast<SourceAnswer*>(user);
    if (eol != 0) {
        a->done = true;
        return;
    }
    if (info && !a->found) {
        a->found = true;
        a->format.rate = static_cast<int>(info->sample_spec.rate);
        a->format.channels = info->sample_spec.channels;
    }
}

} // namespace

bool pulseServerAnswers() {
    Session s;
    std::string unused;
    return s.connect(unused);
}

bool pulseSourceFormat(const std::string& source, PulseSourceFormat& out, std::string& error) {
    Session s;
    if (!s.connect(error))
        return false;
    SourceAnswer answer;
    pa_operation* op =
        pa_context_get_source_info_by_name(s.context(), source.c_str(), onSourceInfo, &answer);
    if (!op) {
        error = pa_strerror(pa_context_errno(s.context()));
        return false;
    }
    const bool answered = s.runUntil([&] { return answer.done; });
    pa_operation_cancel(op);
    pa_operation_unref(op);
    if (!answered || !answer.found || answer.format.rate <= 0) {
        error = answered ? "the sound server has no source " + source
                         : "the sound server does not answer";
        return false;
    }
    out = answer.format;
    return true;
}
