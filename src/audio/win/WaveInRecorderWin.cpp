// The recorder on Windows: the same ring and notification path as on Linux, fed by the
// wave-in API (winmm) instead of Qt Multimedia. The device buffers are polled from the
// user-interface thread, so no driver callback ever touches the ring. No mixer lines here:
// recording sources and volume are set in the Windows sound settings.
#include "audio/WaveInRecorder.h"

#include "audio/PulseMixer.h"
#include "audio/RingWriter.h"

#include <QCoreApplication>
#include <QTimer>

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <functional>

namespace tavrin {

namespace {

QString waveInName(UINT id)
{
    WAVEINCAPSW caps{};
    if (waveInGetDevCapsW(id, &caps, sizeof caps) != MMSYSERR_NOERROR)
        return {};
    return QString::fromWCharArray(caps.szPname);
}

} // namespace

// An open wave-in device with its own buffers, copied into the ring as they fill.
class WaveInSource : public QObject {
public:
    static constexpr int kDeviceBuffers = 4;

    ~WaveInSource() override { close(); }

    bool open(UINT device, qint32 samplerate, qint16 channels, qint32 bufferBytes, QIODevice *ring)
    {
        WAVEFORMATEX format{};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = WORD(channels);
        format.nSamplesPerSec = DWORD(samplerate);
        format.wBitsPerSample = 16;
        format.nBlockAlign = WORD(channels * 2);
        format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
        if (waveInOpen(&handle_, device, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
            handle_ = nullptr;
            return false;
        }
        ring_ = ring;
        // Whole sample frames per buffer, so no frame is split between two of them.
        const DWORD bytes = DWORD(std::max<qint32>(bufferBytes - bufferBytes % format.nBlockAlign, format.nBlockAlign));
        for (int i = 0; i < kDeviceBuffers; ++i) {
            data_[i].resize(bytes);
            WAVEHDR &h = headers_[i];
            h = WAVEHDR{};
            h.lpData = data_[i].data();
            h.dwBufferLength = bytes;
            if (waveInPrepareHeader(handle_, &h, sizeof h) != MMSYSERR_NOERROR
                || waveInAddBuffer(handle_, &h, sizeof h) != MMSYSERR_NOERROR) {
                close();
                return false;
            }
        }
        if (waveInStart(handle_) != MMSYSERR_NOERROR) {
            close();
            return false;
        }
        // Half a buffer's time between looks: a buffer is always collected before the device
        // runs out of the others.
        const int ms = std::max(5, int(1000LL * bytes / format.nAvgBytesPerSec / 2));
        connect(&poll_, &QTimer::timeout, this, &WaveInSource::collect);
        poll_.start(ms);
        return true;
    }

    // Called when the device failed while recording.
    std::function<void()> lost;

private:
    void collect()
    {
        // The device fills its buffers in the order they were added.
        while (handle_ && (headers_[next_].dwFlags & WHDR_DONE)) {
            WAVEHDR &h = headers_[next_];
            if (h.dwBytesRecorded > 0)
                ring_->write(h.lpData, qint64(h.dwBytesRecorded));
            h.dwBytesRecorded = 0;
            if (waveInAddBuffer(handle_, &h, sizeof h) != MMSYSERR_NOERROR) {
                poll_.stop();
                if (lost)
                    lost();
                return;
            }
            next_ = (next_ + 1) % kDeviceBuffers;
        }
    }

    void close()
    {
        poll_.stop();
        if (!handle_)
            return;
        waveInReset(handle_); // hands back every buffer, marked done
        for (WAVEHDR &h : headers_)
            if (h.dwFlags & WHDR_PREPARED)
                waveInUnprepareHeader(handle_, &h, sizeof h);
        waveInClose(handle_);
        handle_ = nullptr;
    }

    HWAVEIN handle_ = nullptr;
    QIODevice *ring_ = nullptr;
    WAVEHDR headers_[kDeviceBuffers]{};
    std::vector<char> data_[kDeviceBuffers];
    int next_ = 0;
    QTimer poll_;
};

WaveInRecorder::WaveInRecorder(QObject *parent)
    : QObject(parent), hook_(QString::fromLatin1(kClassName))
{
}

WaveInRecorder::~WaveInRecorder()
{
    StopRecord();
}

bool WaveInRecorder::StartRecord(qint32 samplerate, qint16 Channels)
{
    if (IsRecording() || samplerate <= 0 || Channels <= 0)
        return false;
    UINT device = WAVE_MAPPER;
    if (selectedDevice_ >= 0) {
        // The list may have changed since the selection: follow the device, not the index.
        const qint32 index = selectedIndexByName();
        if (index < 0)
            return false;
        device = UINT(index);
    }
    if (!startRing(Channels))
        return false;
    auto source = std::make_unique<WaveInSource>();
    if (!source->open(device, samplerate, Channels, bufferSize_, ring_.get())) {
        StopRecord();
        return false;
    }
    source->lost = [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (source_) {
                    StopRecord();
                    emit recordingLost();
                }
            },
            Qt::QueuedConnection);
    };
    source_ = std::move(source);
    return true;
}

qint32 WaveInRecorder::selectedIndexByName() const
{
    const QString wanted = QString::fromUtf8(selectedId_);
    const UINT count = waveInGetNumDevs();
    for (UINT i = 0; i < count; ++i)
        if (waveInName(i) == wanted)
            return qint32(i);
    return -1;
}

bool WaveInRecorder::StopRecord()
{
    source_.reset();
    fakeDevice_ = false;
    ring_.reset();
    DestroyNotifyWindow();
    ++generation_;
    return true;
}

// Devices: the wave-in devices by index; the selection remembers the name.

qint32 WaveInRecorder::DeviceCount() const
{
    return qint32(waveInGetNumDevs());
}

QString WaveInRecorder::DeviceName(qint32 index) const
{
    if (index < 0 || index >= DeviceCount())
        return {};
    return waveInName(UINT(index));
}

bool WaveInRecorder::SelectDevice(qint32 index)
{
    const QString name = DeviceName(index);
    if (name.isEmpty())
        return false;
    selectedDevice_ = index;
    selectedId_ = name.toUtf8();
    return true;
}

bool WaveInRecorder::selectDeviceById(const QByteArray &id)
{
    const qint32 count = DeviceCount();
    for (qint32 i = 0; i < count; ++i)
        if (DeviceName(i).toUtf8() == id)
            return SelectDevice(i);
    return false;
}

qint32 WaveInRecorder::MixerLineCount() const { return 0; }
QString WaveInRecorder::MixerLineName(qint32) const { return {}; }
qint32 WaveInRecorder::MixerLineType(qint32) const { return 0; }
bool WaveInRecorder::SelectMixerLine(qint32) { return false; }
qint32 WaveInRecorder::SelectedMixerLine() const { return -1; }
qint32 WaveInRecorder::MixerLineVolume() const { return 0; }
void WaveInRecorder::setMixerLineVolume(qint32) {}

} // namespace tavrin
