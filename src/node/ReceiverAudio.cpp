#include "node/ReceiverAudio.h"

#include "echolink/native/NativeVoice.h"

namespace tavrin::node {

ReceiverAudio::ReceiverAudio(const QString &deviceId, double thresholdDb, int hangMs, Log log,
                             std::function<QByteArray(int)> testInput, QObject *parent)
    : QObject(parent), squelch_(thresholdDb, hangMs)
{
    clock_.start();
    capture_ = std::make_unique<VoiceCapture>(
        deviceId, std::move(testInput), [this](const float *samples, int count) { hear(samples, count); },
        [log](const QString &text) { log(QStringLiteral("receiver audio: ") + text); });
}

ReceiverAudio::~ReceiverAudio() = default;

void ReceiverAudio::start()
{
    capture_->start();
}

void ReceiverAudio::hear(const float *samples, int count)
{
    const bool was = squelch_.isOpen();
    if (squelch_.feed(Squelch::levelDb(samples, count), clock_.elapsed()) != was)
        Q_EMIT squelchChanged(!was);
}

} // namespace tavrin::node
