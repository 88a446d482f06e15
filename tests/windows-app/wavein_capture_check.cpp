// The level meters' wave-in capture, end to end: WaveInRecorder on device DEVICE_NAME must
// deliver full buffers carrying the tone that plays there, or refuse to start; never start
// and stay silent. Usage: wavein_capture_check DEVICE_NAME  ("-": expect no device at all)
#include "audio/WaveInRecorder.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray wanted = argc > 1 ? QByteArray(argv[1]) : QByteArray("-");
    tavrin::WaveInRecorder recorder;
    recorder.setBufferSize(1600); // 0.1 s at 8000 Hz
    if (wanted == "-") {
        // No sound server: no device, and a start that says it failed.
        const bool started = recorder.StartRecord(8000, 1);
        std::printf("devices %d, start %s\n", recorder.DeviceCount(), started ? "succeeded" : "refused");
        return recorder.DeviceCount() == 0 && !started ? 0 : 1;
    }
    if (!recorder.selectDeviceById(wanted)) {
        std::printf("no device \"%s\" among %d\n", wanted.constData(), recorder.DeviceCount());
        return 1;
    }
    int buffers = 0;
    int peak = 0;
    QObject::connect(&recorder, &tavrin::WaveInRecorder::GotData, [&](const std::vector<qint16> &samples, qint32 bytes) {
        ++buffers;
        for (qint32 i = 0; i < bytes / 2; ++i)
            peak = std::max(peak, std::abs(int(samples[size_t(i)])));
        if (buffers >= 10)
            app.quit();
    });
    if (!recorder.StartRecord(8000, 1)) {
        std::printf("start refused\n");
        return 1;
    }
    // A generous bound for a busy machine; ten buffers are one second of sound.
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    app.exec();
    recorder.StopRecord();
    std::printf("buffers %d, peak %d\n", buffers, peak);
    return buffers >= 10 && peak > 1000 ? 0 : 1;
}
