#include "echolink/native/NativeVoice.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QAudioSource>
#include <QMediaDevices>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tavrin {

namespace {

constexpr char kNoDevice[] = "none";
constexpr int kTestChunkMs = 20;

QAudioDevice findDevice(const QString &id, bool input)
{
    if (id == QLatin1String(kNoDevice))
        return {};
    const QList<QAudioDevice> devices = input ? QMediaDevices::audioInputs() : QMediaDevices::audioOutputs();
    if (id.isEmpty())
        return input ? QMediaDevices::defaultAudioInput() : QMediaDevices::defaultAudioOutput();
    const QByteArray wanted = id.toUtf8();
    for (const QAudioDevice &device : devices) {
        if (device.id() == wanted)
            return device;
    }
    return {};
}

// 16-bit mono at the link's rate when the device takes it, else the device's own rate.
QAudioFormat chooseFormat(const QAudioDevice &device)
{
    QAudioFormat format;
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    format.setSampleRate(kLinkSampleRate);
    if (device.isFormatSupported(format))
        return format;
    const QAudioFormat preferred = device.preferredFormat();
    format.setSampleRate(preferred.sampleRate() > 0 ? preferred.sampleRate() : 48000);
    if (device.isFormatSupported(format))
        return format;
    return preferred;
}

} // namespace

Resampler::Resampler(int inRate, int outRate)
    : inRate_(std::max(1, inRate)), outRate_(std::max(1, outRate)),
      step_(static_cast<double>(inRate_) / outRate_)
{
    if (inRate_ > outRate_) {
        averageLength_ = std::max(1, static_cast<int>(std::lround(step_)));
        history_.assign(static_cast<size_t>(averageLength_ - 1), 0.0f);
    }
}

void Resampler::process(const float *in, int count, std::vector<float> &out)
{
    out.clear();
    if (count <= 0)
        return;
    if (inRate_ == outRate_) {
        out.assign(in, in + count);
        return;
    }
    const float *x = in;
    if (averageLength_ > 1) {
        smoothed_.resize(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            float sum = in[i];
            for (float h : history_)
                sum += h;
            smoothed_[static_cast<size_t>(i)] = sum / static_cast<float>(averageLength_);
            if (!history_.empty()) {
                std::rotate(history_.begin(), history_.begin() + 1, history_.end());
                history_.back() = in[i];
            }
        }
        x = smoothed_.data();
    }
    // Index 0 is the last sample of the previous block, index k is x[k-1].
    auto at = [&](int k) { return k == 0 ? previous_ : x[k - 1]; };
    out.reserve(static_cast<size_t>(count / step_) + 2);
    double p = position_;
    while (p < count) {
        const int i = static_cast<int>(p);
        const float f = static_cast<float>(p - i);
        out.push_back(at(i) + f * (at(i + 1) - at(i)));
        p += step_;
    }
    position_ = p - count;
    previous_ = x[count - 1];
}

VoiceCapture::VoiceCapture(QString deviceId, TestAudioInput testInput, SampleSink sink,
                           StatusSink status, QObject *parent)
    : QObject(parent), deviceId_(std::move(deviceId)), testInput_(std::move(testInput)),
      sink_(std::move(sink)), status_(std::move(status))
{
    testTimer_.setInterval(kTestChunkMs);
    connect(&testTimer_, &QTimer::timeout, this, &VoiceCapture::pullTestInput);
}

VoiceCapture::~VoiceCapture()
{
    stop();
}

void VoiceCapture::start()
{
    if (running_)
        return;
    running_ = true;
    if (testInput_) {
        resampler_ = std::make_unique<Resampler>(kLinkSampleRate, kLinkSampleRate);
        testTimer_.start();
        return;
    }
    if (lost_)
        return;
    const QAudioDevice device = findDevice(deviceId_, true);
    if (device.isNull()) {
        if (!warned_ && deviceId_ != QLatin1String(kNoDevice))
            status_(QStringLiteral("No audio input: the link carries no voice from here"));
        warned_ = true;
        return;
    }
    const QAudioFormat format = chooseFormat(device);
    channels_ = std::max(1, format.channelCount());
    bytesPerFrame_ = std::max(1, format.bytesPerFrame());
    resampler_ = std::make_unique<Resampler>(format.sampleRate(), kLinkSampleRate);
    source_ = std::make_unique<QAudioSource>(device, format);
    io_ = source_->start();
    if (!io_ || source_->error() != QAudio::NoError) {
        if (!warned_)
            status_(QStringLiteral("Audio input \"%1\" cannot be opened").arg(device.description()));
        warned_ = true;
        source_.reset();
        io_ = nullptr;
        return;
    }
    description_ = device.description();
    connect(io_, &QIODevice::readyRead, this, &VoiceCapture::readDevice);
    connect(source_.get(), &QAudioSource::stateChanged, this, &VoiceCapture::onSourceStateChanged);
}

void VoiceCapture::onSourceStateChanged()
{
    if (!source_ || source_->state() != QAudio::StoppedState || source_->error() == QAudio::NoError)
        return;
    // The server went away: say so, and tidy up once the source has left its own signal. Like
    // the output, the input stays closed until the link starts again.
    lost_ = true;
    status_(QStringLiteral("Audio input \"%1\" was lost: the link carries no voice from here").arg(description_));
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (source_ && source_->state() == QAudio::StoppedState && source_->error() != QAudio::NoError)
                stop();
        },
        Qt::QueuedConnection);
}

void VoiceCapture::stop()
{
    running_ = false;
    testTimer_.stop();
    if (source_) {
        if (io_)
            disconnect(io_.data(), nullptr, this, nullptr);
        source_->disconnect(this);
        source_->stop();
        source_.reset();
    }
    io_ = nullptr;
    pending_.clear();
}

void VoiceCapture::readDevice()
{
    if (!io_ || !source_)
        return;
    pending_ += io_->readAll();
    const QAudioFormat format = source_->format();
    const int frames = static_cast<int>(pending_.size() / bytesPerFrame_);
    if (frames == 0)
        return;
    scratch_.resize(static_cast<size_t>(frames));
    const int sampleBytes = format.bytesPerSample();
    for (int i = 0; i < frames; ++i) {
        const char *frame = pending_.constData() + static_cast<qsizetype>(i) * bytesPerFrame_;
        float sum = 0.0f;
        for (int c = 0; c < channels_; ++c)
            sum += format.normalizedSampleValue(frame + c * sampleBytes);
        scratch_[static_cast<size_t>(i)] = sum / static_cast<float>(channels_);
    }
    pending_.remove(0, static_cast<qsizetype>(frames) * bytesPerFrame_);
    deliver(scratch_.data(), frames);
}

void VoiceCapture::pullTestInput()
{
    const int wanted = kLinkSampleRate * kTestChunkMs / 1000;
    const QByteArray pcm = testInput_(wanted);
    const int count = static_cast<int>(pcm.size() / 2);
    if (count <= 0)
        return;
    scratch_.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        qint16 value;
        std::memcpy(&value, pcm.constData() + 2 * i, sizeof value);
        scratch_[static_cast<size_t>(i)] = static_cast<float>(value) / 32768.0f;
    }
    deliver(scratch_.data(), count);
}

void VoiceCapture::deliver(const float *samples, int count)
{
    resampler_->process(samples, count, resampled_);
    if (!resampled_.empty())
        sink_(resampled_.data(), static_cast<int>(resampled_.size()));
}

VoicePlayback::VoicePlayback(QString deviceId, StatusSink status, QObject *parent)
    : QObject(parent), deviceId_(std::move(deviceId)), status_(std::move(status))
{
}

VoicePlayback::~VoicePlayback()
{
    stop();
}

bool VoicePlayback::open()
{
    if (sink_)
        return true;
    if (failed_)
        return false;
    const QAudioDevice device = findDevice(deviceId_, false);
    if (device.isNull()) {
        failed_ = true;
        if (deviceId_ != QLatin1String(kNoDevice))
            status_(QStringLiteral("No audio output: received voice is not played"));
        return false;
    }
    QAudioFormat format = chooseFormat(device);
    if (format.sampleFormat() != QAudioFormat::Int16) {
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format)) {
            failed_ = true;
            status_(QStringLiteral("Audio output \"%1\" takes no 16-bit audio").arg(device.description()));
            return false;
        }
    }
    channels_ = std::max(1, format.channelCount());
    resampler_ = std::make_unique<Resampler>(kLinkSampleRate, format.sampleRate());
    sink_ = std::make_unique<QAudioSink>(device, format);
    io_ = sink_->start();
    if (!io_ || sink_->error() != QAudio::NoError) {
        failed_ = true;
        sink_.reset();
        io_ = nullptr;
        status_(QStringLiteral("Audio output \"%1\" cannot be opened").arg(device.description()));
        return false;
    }
    description_ = device.description();
    return true;
}

void VoicePlayback::write(const float *samples, int count)
{
    if (count <= 0 || !open())
        return;
    if (!io_ || (sink_->state() == QAudio::StoppedState && sink_->error() != QAudio::NoError)) {
        // The server went away (Qt has deleted the writer): say so once. The output stays
        // closed until the link starts again, as the input does.
        status_(QStringLiteral("Audio output \"%1\" was lost: received voice is not played").arg(description_));
        failed_ = true;
        stop();
        return;
    }
    resampler_->process(samples, count, resampled_);
    QByteArray pcm(static_cast<qsizetype>(resampled_.size()) * channels_ * 2, Qt::Uninitialized);
    auto *out = reinterpret_cast<qint16 *>(pcm.data());
    for (float s : resampled_) {
        const auto value = static_cast<qint16>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f));
        for (int c = 0; c < channels_; ++c)
            *out++ = value;
    }
    // A full device buffer drops the rest rather than letting the delay grow.
    io_->write(pcm);
}

void VoicePlayback::stop()
{
    if (sink_) {
        sink_->stop();
        sink_.reset();
    }
    io_ = nullptr;
}

} // namespace tavrin
