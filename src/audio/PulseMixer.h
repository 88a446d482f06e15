#pragma once
// Recording sources and volume of one PulseAudio source: the source's ports are its recording
// sources, the active port is the selected one, the source volume is the volume.
//
// Every call opens a short-lived connection on its own pa_mainloop and waits at most
// `timeoutMs` for the answer, so a missing or hung server costs a bounded delay and never
// autospawns a daemon. These calls are rare (device set-up), not per buffer.
//
// Thread: any; holds no connection between calls.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace tavrin {

struct PulsePort {
    QString name;        // PulseAudio's port name, used to select it
    QString description; // what a person reads
    int type = 0;        // pa_device_port_type
};

struct PulseSourceState {
    QList<PulsePort> ports;
    int activePort = -1;          // index into ports, -1 = none
    quint32 volume = 0;           // first channel, pa_volume_t
    int channels = 0;
};

class PulseMixer {
public:
    static constexpr quint32 kNormalVolume = 0x10000; // PA_VOLUME_NORM, 100 %

    explicit PulseMixer(QByteArray sourceName, int timeoutMs = 1500);

    // True when a sound server takes a connection within `timeoutMs` (always true where there
    // is no PulseAudio). Blocks its caller that long at most: ask from a worker thread.
    static bool serverAnswers(int timeoutMs);
    // The same question, telling a server that is absent (refused at once) from one that took
    // the connection and then said nothing in time (hung). Blocks as long at most.
    enum class Reply { Up, Absent, Silent };
    static Reply askServer(int timeoutMs);

    const QByteArray &sourceName() const { return source_; }

    // The source's ports and volume; nullopt when the server or the source cannot be reached.
    std::optional<PulseSourceState> query() const;
    bool setActivePort(const QString &portName) const;
    // Sets every channel of the source to `volume` (pa_volume_t).
    bool setVolume(quint32 volume, int channels) const;

private:
    QByteArray source_;
    int timeoutMs_;
};

} // namespace tavrin
