// The recorder's device-independent half: the ring the device fills, the notification
// object its full buffers are posted to, and the test entry points. The device half lives in
// WaveInRecorder.cpp (Qt Multimedia) and win/WaveInRecorderWin.cpp (wave-in).
#include "audio/WaveInRecorder.h"

#include "audio/RingWriter.h"

#include <QCoreApplication>

namespace tavrin {

bool WaveInRecorder::IsRecording() const
{
    return source_ != nullptr || fakeDevice_;
}

void WaveInRecorder::setBufferCount(qint32 count)
{
    if (!IsRecording())
        bufferCount_ = count;
}

void WaveInRecorder::setBufferSize(qint32 bytes)
{
    if (!IsRecording())
        bufferSize_ = bytes;
}

void WaveInRecorder::CreateNotifyWindow()
{
    auto *notify = new QObject(this);
    notify->setObjectName(QString::fromLatin1(kNotifyName));
    notify_ = notify;
    // Hooking failures are reported by the hook; the start goes on without notifications.
    if (hook_.sc_Subclass(notify, [this](bool before, int message, qintptr w, qintptr l, qintptr user) {
            HandleBufferDone(before, message, w, l, user);
        }))
        hook_.zAddMsg(notify, kBufferDoneMessage, MessageHook::When::After);
}

void WaveInRecorder::DestroyNotifyWindow()
{
    if (!notify_)
        return;
    QObject *notify = notify_.data();
    notify_.clear();
    if (hook_.isHooked(notify))
        hook_.sc_UnSubclass(notify);
    // Deleting it drops the buffer messages still queued for it; inside its own event handling
    // it has to wait for the event loop.
    if (dispatching_)
        notify->deleteLater();
    else
        delete notify;
}

bool WaveInRecorder::startRing(int channels)
{
    // A buffer holds at least one whole frame.
    if (bufferCount_ < 1 || channels < 1 || bufferSize_ < 2 * channels)
        return false;
    ++generation_;
    const quint32 generation = generation_;
    ring_ = std::make_unique<RingWriter>(bufferCount_, bufferSize_, [this, generation](int index) {
        if (notify_)
            QCoreApplication::postEvent(notify_.data(),
                                        new HookMessageEvent(kBufferDoneMessage, generation, index));
    }, 2 * channels);
    CreateNotifyWindow();
    ring_->open(QIODevice::WriteOnly);
    return true;
}

bool WaveInRecorder::startWithoutDeviceForTest(int channels)
{
    if (IsRecording() || !startRing(channels))
        return false;
    fakeDevice_ = true;
    return true;
}

void WaveInRecorder::feedForTest(const char *data, qint64 len)
{
    if (ring_)
        ring_->write(data, len);
}

void WaveInRecorder::HandleBufferDone(bool, int message, qintptr wParam, qintptr lParam, qintptr)
{
    if (message != kBufferDoneMessage)
        return;
    // A message from an earlier run, or one that names no record, is not ours to read.
    if (!ring_ || static_cast<quint32>(wParam) != generation_ || lParam < 0 || lParam >= ring_->count())
        return;
    const int index = static_cast<int>(lParam);
    const quint32 generation = generation_;
    dispatching_ = true;
    emit GotData(ring_->record(index).samples, ring_->record(index).bytesRecorded);
    dispatching_ = false;
    if (ring_ && generation == generation_)
        ring_->requeue(index);
}

void WaveInRecorder::startStallWatch()
{
    if (!stall_) {
        stall_ = new QTimer(this);
        stall_->setObjectName(QString::fromLatin1(kStallTimerName));
        stall_->setInterval(kStallMs);
        connect(stall_, &QTimer::timeout, this, &WaveInRecorder::stallTick);
    }
    seenBytes_ = 0;
    stall_->start();
}

void WaveInRecorder::stallTick()
{
    if (!ring_ || !IsRecording()) {
        if (stall_)
            stall_->stop();
        return;
    }
    if (ring_->received() != seenBytes_) {
        seenBytes_ = ring_->received();
        return;
    }
    // Not one byte for a whole interval: the device went or its server hangs, though Qt's
    // source still looks active.
    loseRecording();
}

void WaveInRecorder::loseRecording()
{
    server_ = Server::Unknown;
    StopRecord();
    emit recordingLost();
}

std::vector<int> WaveInRecorder::queuedBuffers() const
{
    return ring_ ? ring_->queued() : std::vector<int>{};
}

qint64 WaveInRecorder::droppedBytes() const
{
    return ring_ ? ring_->dropped() : 0;
}

} // namespace tavrin
