#include "audio/WaveInRecorder.h"

#include "audio/PulseMixer.h"
#include "audio/RingWriter.h"
#include "audio/SoundServerGate.h"

#include <QAudioFormat>
#include <QAudioSource>
#include <QCoreApplication>
#include <QMediaDevices>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <thread>

namespace tavrin {

struct WaveInRecorder::QuestionLink {
    std::mutex mutex;
    WaveInRecorder *owner = nullptr;
};

WaveInRecorder::WaveInRecorder(QObject *parent)
    : QObject(parent), hook_(QString::fromLatin1(kClassName)), question_(std::make_shared<QuestionLink>())
{
    question_->owner = this;
#ifndef TAVRIN_HAVE_PULSE
    // No sound server to wait for.
    server_ = Server::Up;
#endif
}

WaveInRecorder::~WaveInRecorder()
{
    {
        const std::lock_guard lock(question_->mutex);
        question_->owner = nullptr;
    }
    StopRecord();
}

void WaveInRecorder::askServer()
{
    if (server_ == Server::Asking)
        return;
    server_ = Server::Asking;
    std::thread([link = question_] {
        const bool up = PulseMixer::serverAnswers(kServerQuestionMs);
        // Under the lock the recorder cannot go away; a posted answer that arrives after it
        // went is dropped with it.
        const std::lock_guard lock(link->mutex);
        if (WaveInRecorder *owner = link->owner)
            QMetaObject::invokeMethod(owner, [owner, up] { owner->takeServerAnswer(up); }, Qt::QueuedConnection);
    }).detach();
}

void WaveInRecorder::takeServerAnswer(bool up)
{
    server_ = up ? Server::Up : Server::Down;
    // The owner opens the device right away, which builds Qt's device lists.
    if (up)
        SoundServerGate::markOpen();
    emit serverAnswered(up);
}

bool WaveInRecorder::StartRecord(qint32 samplerate, qint16 Channels)
{
    if (IsRecording() || samplerate <= 0 || Channels <= 0)
        return false;
    if (server_ != Server::Up) {
        askServer();
        return false;
    }
    const QAudioDevice device = selectedAudioDevice();
    if (!startRing(Channels))
        return false;
    if (device.isNull()) {
        // Ask again next time: the server may have gone since it answered.
        server_ = Server::Unknown;
        StopRecord();
        return false;
    }
    QAudioFormat format;
    format.setSampleRate(samplerate);
    format.setChannelCount(Channels);
    format.setSampleFormat(QAudioFormat::Int16);
    source_ = std::make_unique<QAudioSource>(device, format);
    // A buffer's worth of sound per device period keeps the wake-ups few.
    source_->setBufferSize(bufferSize_);
    connect(source_.get(), &QAudioSource::stateChanged, this, &WaveInRecorder::onSourceStateChanged);
    source_->start(ring_.get());
    if (source_->error() != QAudio::NoError || source_->state() == QAudio::StoppedState) {
        server_ = Server::Unknown;
        StopRecord();
        return false;
    }
    startStallWatch();
    return true;
}

bool WaveInRecorder::StopRecord()
{
    if (source_) {
        std::unique_ptr<QAudioSource> source = std::move(source_);
        source->disconnect(this);
        source->stop();
    }
    if (stall_)
        stall_->stop();
    fakeDevice_ = false;
    ring_.reset();
    DestroyNotifyWindow();
    ++generation_;
    return true;
}

void WaveInRecorder::onSourceStateChanged()
{
    if (!source_ || source_->state() != QAudio::StoppedState || source_->error() == QAudio::NoError)
        return;
    // The server went away: tidy up once the source has left its own signal.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (source_ && source_->state() == QAudio::StoppedState)
                loseRecording();
        },
        Qt::QueuedConnection);
}

// Devices and mixer

QAudioDevice WaveInRecorder::deviceAt(qint32 index) const
{
    const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
    if (index < 0 || index >= inputs.size())
        return {};
    return inputs.at(index);
}

QAudioDevice WaveInRecorder::selectedAudioDevice() const
{
    if (selectedDevice_ < 0)
        return QMediaDevices::defaultAudioInput();
    // The list may have changed since the selection: follow the device, not the index.
    for (const QAudioDevice &d : QMediaDevices::audioInputs())
        if (d.id() == selectedId_)
            return d;
    return {};
}

qint32 WaveInRecorder::DeviceCount() const
{
    return static_cast<qint32>(QMediaDevices::audioInputs().size());
}

QString WaveInRecorder::DeviceName(qint32 index) const
{
    QString name = deviceAt(index).description();
    const qsizetype nul = name.indexOf(QChar(u'\0'));
    if (nul >= 0)
        name.truncate(nul);
    return name;
}

bool WaveInRecorder::SelectDevice(qint32 index)
{
    const QAudioDevice device = deviceAt(index);
    if (device.isNull())
        return false;
    selectedDevice_ = -1;
    selectedId_.clear();
    mixer_.reset();
    auto mixer = std::make_unique<PulseMixer>(device.id());
    if (!mixer->query())
        return false;
    mixer_ = std::move(mixer);
    selectedDevice_ = index;
    selectedId_ = device.id();
    return true;
}

bool WaveInRecorder::selectDeviceById(const QByteArray &id)
{
    const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
    for (qsizetype i = 0; i < inputs.size(); ++i)
        if (inputs.at(i).id() == id)
            return SelectDevice(static_cast<qint32>(i));
    return false;
}

qint32 WaveInRecorder::MixerLineCount() const
{
    if (!mixer_)
        return 0;
    const auto state = mixer_->query();
    return state ? static_cast<qint32>(state->ports.size()) : 0;
}

QString WaveInRecorder::MixerLineName(qint32 index) const
{
    if (!mixer_)
        return {};
    const auto state = mixer_->query();
    if (!state || index < 0 || index >= state->ports.size())
        return {};
    return state->ports.at(index).description;
}

qint32 WaveInRecorder::MixerLineType(qint32 index) const
{
    if (!mixer_)
        return 0;
    const auto state = mixer_->query();
    if (!state)
        return 0;
    if (index == -1)
        index = state->activePort;
    if (index < 0 || index >= state->ports.size())
        return 0;
    return state->ports.at(index).type;
}

bool WaveInRecorder::SelectMixerLine(qint32 index)
{
    if (!mixer_)
        return false;
    const auto state = mixer_->query();
    if (!state || index < 0 || index >= state->ports.size())
        return false;
    return mixer_->setActivePort(state->ports.at(index).name);
}

qint32 WaveInRecorder::SelectedMixerLine() const
{
    if (!mixer_)
        return -1;
    const auto state = mixer_->query();
    return state ? state->activePort : -1;
}

qint32 WaveInRecorder::MixerLineVolume() const
{
    if (!mixer_)
        return 0;
    const auto state = mixer_->query();
    if (!state)
        return 0;
    const double v = std::round(double(state->volume) * 65535.0 / PulseMixer::kNormalVolume);
    return static_cast<qint32>(std::clamp(v, 0.0, 65535.0));
}

void WaveInRecorder::setMixerLineVolume(qint32 Volume)
{
    if (!mixer_)
        return;
    const auto state = mixer_->query();
    if (!state)
        return;
    const double v = std::clamp(Volume, 0, 65535) * double(PulseMixer::kNormalVolume) / 65535.0;
    mixer_->setVolume(static_cast<quint32>(std::lround(v)), std::max(state->channels, 1));
}

} // namespace tavrin
