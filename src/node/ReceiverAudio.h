#pragma once
// Listens to the rig's received audio (its sound card's input) and says when the squelch
// opens and closes. The audio itself reaches the link through the native station's own
// capture of the same device while the node sends; this only decides when.
//
// Thread: event loop.

#include "node/Squelch.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace tavrin {
class VoiceCapture;
}

namespace tavrin::node {

class ReceiverAudio : public QObject {
    Q_OBJECT
public:
    using Log = std::function<void(const QString &)>;
    // deviceId: the PulseAudio source of the rig's audio; testInput (tests only) replaces it.
    ReceiverAudio(const QString &deviceId, double thresholdDb, int hangMs, Log log,
                  std::function<QByteArray(int)> testInput = {}, QObject *parent = nullptr);
    ~ReceiverAudio() override;

    void start();
    bool isOpen() const { return squelch_.isOpen(); }

Q_SIGNALS:
    void squelchChanged(bool open);

private:
    void hear(const float *samples, int count);

    Squelch squelch_;
    QElapsedTimer clock_;
    std::unique_ptr<VoiceCapture> capture_;
};

} // namespace tavrin::node
