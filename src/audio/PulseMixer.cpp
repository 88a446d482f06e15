#include "audio/PulseMixer.h"

#include <QElapsedTimer>

#ifdef TAVRIN_HAVE_PULSE
#include <pulse/pulseaudio.h>
#endif

#include <utility>

namespace tavrin {

#ifdef TAVRIN_HAVE_PULSE
namespace {

constexpr char kClientName[] = "tavrin-mixer";

// One connection with a deadline. Every wait iterates the loop until done or out of time.
class Connection {
public:
    explicit Connection(int timeoutMs) : timeoutMs_(timeoutMs)
    {
        clock_.start();
        loop_ = pa_mainloop_new();
        if (!loop_)
            return;
        context_ = pa_context_new(pa_mainloop_get_api(loop_), kClientName);
        if (!context_)
            return;
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return;
        while (true) {
            const pa_context_state_t state = pa_context_get_state(context_);
            if (state == PA_CONTEXT_READY) {
                ready_ = true;
                return;
            }
            if (!PA_CONTEXT_IS_GOOD(state) || !step())
                return;
        }
    }
    ~Connection()
    {
        if (context_) {
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        if (loop_)
            pa_mainloop_free(loop_);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool ready() const { return ready_; }
    // The server took the connection but did not finish it in time (hung, not absent).
    bool timedOut() const { return !ready_ && clock_.elapsed() >= timeoutMs_; }
    pa_context *context() const { return context_; }

    // Runs `op` to completion; false on time-out or a broken connection.
    bool wait(pa_operation *op)
    {
        if (!op)
            return false;
        bool ok = true;
        while (pa_operation_get_state(op) == PA_OPERATION_RUNNING) {
            if (!step() || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
                pa_operation_cancel(op);
                ok = false;
                break;
            }
        }
        pa_operation_unref(op);
        return ok;
    }

private:
    bool step()
    {
        const qint64 left = timeoutMs_ - clock_.elapsed();
        if (left <= 0)
            return false;
        if (pa_mainloop_prepare(loop_, static_cast<int>(left * 1000)) < 0)
            return false;
        if (pa_mainloop_poll(loop_) < 0)
            return false;
        return pa_mainloop_dispatch(loop_) >= 0 && clock_.elapsed() < timeoutMs_;
    }

    int timeoutMs_;
    QElapsedTimer clock_;
    pa_mainloop *loop_ = nullptr;
    pa_context *context_ = nullptr;
    bool ready_ = false;
};

struct InfoResult {
    bool found = false;
    PulseSourceState state;
};

void onSourceInfo(pa_context *, const pa_source_info *info, int eol, void *userdata)
{
    if (eol || !info)
        return;
    auto *result = static_cast<InfoResult *>(userdata);
    result->found = true;
    for (quint32 i = 0; i < info->n_ports; ++i) {
        const pa_source_port_info *p = info->ports[i];
        result->state.ports.append({QString::fromUtf8(p->name), QString::fromUtf8(p->description),
                                    static_cast<int>(p->type)});
        if (info->active_port == p)
            result->state.activePort = static_cast<int>(i);
    }
    result->state.channels = info->volume.channels;
    result->state.volume = info->volume.channels > 0 ? info->volume.values[0] : 0;
}

void onSuccess(pa_context *, int success, void *userdata)
{
    *static_cast<bool *>(userdata) = success != 0;
}

} // namespace

PulseMixer::PulseMixer(QByteArray sourceName, int timeoutMs) : source_(std::move(sourceName)), timeoutMs_(timeoutMs)
{
}

bool PulseMixer::serverAnswers(int timeoutMs)
{
    return Connection(timeoutMs).ready();
}

PulseMixer::Reply PulseMixer::askServer(int timeoutMs)
{
    const Connection c(timeoutMs);
    return c.ready() ? Reply::Up : c.timedOut() ? Reply::Silent : Reply::Absent;
}

std::optional<PulseSourceState> PulseMixer::query() const
{
    Connection c(timeoutMs_);
    if (!c.ready())
        return std::nullopt;
    InfoResult result;
    if (!c.wait(pa_context_get_source_info_by_name(c.context(), source_.constData(), onSourceInfo, &result))
        || !result.found)
        return std::nullopt;
    return result.state;
}

bool PulseMixer::setActivePort(const QString &portName) const
{
    Connection c(timeoutMs_);
    if (!c.ready())
        return false;
    bool ok = false;
    const QByteArray port = portName.toUtf8();
    return c.wait(pa_context_set_source_port_by_name(c.context(), source_.constData(), port.constData(), onSuccess,
                                                     &ok))
        && ok;
}

bool PulseMixer::setVolume(quint32 volume, int channels) const
{
    if (channels <= 0 || channels > static_cast<int>(PA_CHANNELS_MAX))
        return false;
    Connection c(timeoutMs_);
    if (!c.ready())
        return false;
    pa_cvolume v;
    pa_cvolume_set(&v, static_cast<unsigned>(channels), static_cast<pa_volume_t>(volume));
    bool ok = false;
    return c.wait(pa_context_set_source_volume_by_name(c.context(), source_.constData(), &v, onSuccess, &ok)) && ok;
}

#else
// No PulseAudio on this platform: no source has ports, so there are no recording sources.
PulseMixer::PulseMixer(QByteArray sourceName, int timeoutMs)
    : source_(std::move(sourceName)), timeoutMs_(timeoutMs)
{
}

bool PulseMixer::serverAnswers(int)
{
    return true;
}

PulseMixer::Reply PulseMixer::askServer(int)
{
    return Reply::Up;
}

std::optional<PulseSourceState> PulseMixer::query() const
{
    return std::nullopt;
}

bool PulseMixer::setActivePort(const QString &) const
{
    return false;
}

bool PulseMixer::setVolume(quint32, int) const
{
    return false;
}
#endif

} // namespace tavrin
