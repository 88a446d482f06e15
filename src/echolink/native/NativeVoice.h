#pragma once
// The voice path of the native station, apart from the protocol: a streaming resampler,
// capture from an audio input at 8000 Hz, and playback of 8000 Hz voice on an audio output.
// Sample values are floats in [-1, 1].
//
// A missing or failing sound device is not an error of the link: capture and playback are
// then simply absent and say so once through their status callback.
//
// Thread: user-interface thread.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QAudioSink;
class QAudioSource;
class QIODevice;

namespace tavrin {

inline constexpr int kLinkSampleRate = 8000;

// Changes the sample rate of a stream given block by block: a moving average against
// aliasing when going down, then linear interpolation.
class Resampler {
public:
    Resampler(int inRate, int outRate);
    void process(const float *in, int count, std::vector<float> &out);
    int inRate() const { return inRate_; }
    int outRate() const { return outRate_; }

private:
    int inRate_;
    int outRate_;
    double step_;
    double position_ = 0.0; // of the next output, in input samples after `previous_`
    float previous_ = 0.0f;
    int averageLength_ = 1;
    std::vector<float> history_; // the last averageLength_-1 inputs
    std::vector<float> smoothed_;
};

// Test seam: hands out that many 8 kHz 16-bit mono samples (native byte order) whenever
// the keyed station wants them, instead of a sound device.
using TestAudioInput = std::function<QByteArray(int samples)>;

class VoiceCapture : public QObject {
    Q_OBJECT
public:
    using SampleSink = std::function<void(const float *samples, int count)>;
    using StatusSink = std::function<void(const QString &text)>;

    // deviceId: QAudioDevice id; empty: the default input; "none": no capture.
    VoiceCapture(QString deviceId, TestAudioInput testInput, SampleSink sink, StatusSink status,
                 QObject *parent = nullptr);
    ~VoiceCapture() override;

    void start();
    void stop();
    bool isRunning() const { return running_; }

private:
    void readDevice();
    void onSourceStateChanged();
    void pullTestInput();
    void deliver(const float *samples, int count);

    QString deviceId_;
    TestAudioInput testInput_;
    SampleSink sink_;
    StatusSink status_;
    bool running_ = false;
    bool warned_ = false;
    bool lost_ = false; // the server went away while capturing
    std::unique_ptr<QAudioSource> source_;
    // Qt deletes the device's reader when the sound server goes away.
    QPointer<QIODevice> io_;
    QString description_;
    QTimer testTimer_;
    std::unique_ptr<Resampler> resampler_;
    std::vector<float> scratch_;
    std::vector<float> resampled_;
    int channels_ = 1;
    int bytesPerFrame_ = 2;
    QByteArray pending_; // a partial frame from the last read
};

class VoicePlayback : public QObject {
    Q_OBJECT
public:
    using StatusSink = std::function<void(const QString &text)>;

    // deviceId: QAudioDevice id; empty: the default output; "none": no playback.
    VoicePlayback(QString deviceId, StatusSink status, QObject *parent = nullptr);
    ~VoicePlayback() override;

    // 8 kHz samples; the output is opened on first use.
    void write(const float *samples, int count);
    void stop();

private:
    bool open();

    QString deviceId_;
    StatusSink status_;
    bool failed_ = false;
    std::unique_ptr<QAudioSink> sink_;
    // Qt deletes the device's writer when the sound server goes away.
    QPointer<QIODevice> io_;
    QString description_;
    std::unique_ptr<Resampler> resampler_;
    std::vector<float> resampled_;
    int channels_ = 1;
};

} // namespace tavrin
