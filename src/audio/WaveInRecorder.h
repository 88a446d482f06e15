#pragma once
// Records 16-bit PCM from an audio input into a ring of BufferCount buffers of BufferSize bytes
// and hands each full buffer to its owner through GotData.
//
// Capture runs on Qt Multimedia (PulseAudio). The audio source writes into the ring; each full
// buffer is posted as message 960 to a hidden notification object named "WAVE_IN_WINDOW",
// which is hooked through the message-hook facility, so GotData always runs on the
// user-interface thread from the event loop. After GotData returns the buffer is queued again.
// When no buffer is queued (the owner is slow) incoming sound is dropped.
//
// Devices are the QMediaDevices audio inputs, by index; -1 is the system default. On a
// selected device the recording sources are the PulseAudio source's ports and the volume is the
// source volume (0..65535 for 0..100 %).
//
// Qt's PulseAudio back end waits for a hung sound server without a deadline, on the calling
// thread. So the recorder only opens a device once the server has answered a question with a
// deadline, asked on a worker thread (askServer). Until then StartRecord fails at once and
// starts the question; serverAnswered reports the outcome. A lost recording asks again.
//
// A source that is killed under Qt (its device unloaded) or a server that stops answering
// leaves Qt's source "active" with no sound and no error. So while a device records, a watch
// (StallTimer) ends the recording as lost when no byte at all arrived for kStallMs.
//
// Thread: user-interface thread (the question runs on a worker thread of its own, which
// touches nothing of the recorder). Owns the audio source, the ring and the notification
// object between StartRecord and StopRecord; none of them outlive StopRecord.

#include "audio/MessageHook.h"

#ifndef _WIN32
#include <QAudioDevice>
#endif
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <vector>

#ifdef _WIN32
namespace tavrin { class WaveInSource; } // the wave-in device (audio/win)
#else
class QAudioSource;
#endif

namespace tavrin {

class PulseMixer;
class RingWriter;

class WaveInRecorder : public QObject {
    Q_OBJECT
public:
    static constexpr int kBufferDoneMessage = 960;
    static constexpr char kNotifyName[] = "WAVE_IN_WINDOW";
    static constexpr char kClassName[] = "WaveInRecorder";

    // What the recorder knows of the sound server.
    enum class Server { Unknown, Asking, Up, Down };
    // How long the question may take before the server counts as not answering.
    static constexpr int kServerQuestionMs = 2000;
    // How long a recording device may deliver nothing before the recording counts as lost.
    static constexpr int kStallMs = 3000;
    static constexpr char kStallTimerName[] = "StallTimer";

    explicit WaveInRecorder(QObject *parent = nullptr);
    ~WaveInRecorder() override;

    bool IsRecording() const;
    bool StopRecord();
    bool StartRecord(qint32 samplerate, qint16 Channels);

    Server serverState() const { return server_; }
    // Asks, in the background, whether the sound server answers (unless a question is out).
    void askServer();

    qint32 BufferCount() const { return bufferCount_; }
    void setBufferCount(qint32 count);
    qint32 BufferSize() const { return bufferSize_; }
    void setBufferSize(qint32 bytes);

    qint32 DeviceCount() const;
    QString DeviceName(qint32 index) const;
    bool SelectDevice(qint32 index);
    // Convenience: selects the input whose QAudioDevice::id() (the PulseAudio source name) is `id`.
    bool selectDeviceById(const QByteArray &id);

    qint32 MixerLineCount() const;
    QString MixerLineName(qint32 index) const;
    bool SelectMixerLine(qint32 index);
    qint32 SelectedDevice() const { return selectedDevice_; }
    qint32 SelectedMixerLine() const;
    qint32 MixerLineType(qint32 index) const;
    qint32 MixerLineVolume() const;
    void setMixerLineVolume(qint32 Volume);

    // The message-hook facility of this recorder (tests give it their own report sink).
    MessageHook &hook() { return hook_; }
    // The notification object while recording, nullptr otherwise.
    QObject *notifyObject() const { return notify_.data(); }
    // Buffers currently queued for filling, in the order they will be filled.
    std::vector<int> queuedBuffers() const;
    // Bytes dropped because no buffer was queued.
    qint64 droppedBytes() const;

    // Feeds bytes as the device would (tests and the benchmark drive the ring without a device).
    void feedForTest(const char *data, qint64 len);
    // Starts the ring and the notification path without opening any device.
    bool startWithoutDeviceForTest(int channels = 2);

public slots:
    // The stall watch: ends the recording as lost when nothing arrived since the last tick.
    void stallTick();

signals:
    // intBuffer is the recorder's own array, valid only during the handler; lngLen in bytes.
    void GotData(const std::vector<qint16> &intBuffer, qint32 lngLen);
    // Recording ended by itself (the audio server went away).
    void recordingLost();
    // The sound server answered the question (up) or gave no answer in time.
    void serverAnswered(bool up);

private:
    bool startRing(int channels); // steps 1, 2 and 4 of a start
    void HandleBufferDone(bool before, int message, qintptr wParam, qintptr lParam, qintptr user);
    void CreateNotifyWindow();
    void DestroyNotifyWindow();
    void onSourceStateChanged();
    // Stops a recording that ended by itself and says so.
    void loseRecording();
    void startStallWatch();
#ifdef _WIN32
    qint32 selectedIndexByName() const;
#else
    QAudioDevice deviceAt(qint32 index) const;
    QAudioDevice selectedAudioDevice() const;
    void takeServerAnswer(bool up);
#endif

    // Shared with the worker thread of a question: it hands its answer over only while the
    // recorder lives.
    struct QuestionLink;

    qint32 bufferCount_ = 5;
    qint32 bufferSize_ = 10240;
    qint32 selectedDevice_ = -1;
    QByteArray selectedId_;
    std::unique_ptr<PulseMixer> mixer_;
    MessageHook hook_;
    QPointer<QObject> notify_;
#ifdef _WIN32
    std::unique_ptr<WaveInSource> source_;
#else
    std::unique_ptr<QAudioSource> source_;
#endif
    std::unique_ptr<RingWriter> ring_;
    QTimer *stall_ = nullptr; // made at the first start of a device
    qint64 seenBytes_ = 0;
    bool dispatching_ = false;
    bool fakeDevice_ = false;
    quint32 generation_ = 0;
    Server server_ = Server::Unknown;
    std::shared_ptr<QuestionLink> question_;
};

} // namespace tavrin
