// Real capture through PulseAudio. tests/audio/pulse-capture.sh starts a private server with a
// null sink "txsink" and a remap source "rxmic" on its monitor, and points PULSE_SERVER at it;
// this program plays a known tone into txsink with pacat and checks what the recorder and the
// meter make of it. Run without that server, every case skips; the no-server case runs only
// with PULSE_SERVER=unix:/nonexistent, the hung-server case only against a stopped daemon.

#include "audio/GradH.h"
#include "audio/WaveInRecorder.h"
#include "core/CoreTestKit.h"
#include "settings/FormLink.h"
#if __has_include("echolink/native/NativeVoice.h")
#include "echolink/native/NativeVoice.h"
#define TAVRIN_TEST_NATIVE_VOICE
#endif

#include <QComboBox>
#include <QLabel>

#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace tavrin;

namespace {

constexpr char kSource[] = "rxmic";
constexpr double kLeftAmplitude = 0.5;
constexpr double kRightAmplitude = 0.25;
constexpr int kRate = 44100;

bool haveTestServer()
{
    for (const QAudioDevice &d : QMediaDevices::audioInputs())
        if (d.id() == kSource)
            return true;
    return false;
}

// Polls the event loop until `done` or the time is up.
template <class F>
bool waitFor(F done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(20);
    }
    return true;
}

// The recorder opens a device only once the server has answered.
bool serverUp(WaveInRecorder &rec)
{
    QSignalSpy answered(&rec, &WaveInRecorder::serverAnswered);
    rec.askServer();
    return answered.wait(10000) && answered.first().first().toBool();
}

} // namespace

class CaptureTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void recorderDeliversFullBuffersOfTheTone();
    void meterShowsTheTonePeak();
    void mixerOfTheRemapSource();
    void serverGoneAndBackResumesTheMeter();
    void nativeVoiceSurvivesTheServerGoing();
    void noServerFailsAtOnce();
    void hungServerHoldsNothingUp();

private:
    void startTone();
    void stopTone();
    QTemporaryDir dir_;
    QString toneFile_;
    QProcess *pacat_ = nullptr;
};

void CaptureTest::initTestCase()
{
    QVERIFY(dir_.isValid());
    // 20 s of 1 kHz: left at half scale, right at a quarter.
    toneFile_ = dir_.filePath(QStringLiteral("tone.raw"));
    QFile f(toneFile_);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QByteArray data;
    const int frames = kRate * 20;
    data.resize(qsizetype(frames) * 4);
    auto *s = reinterpret_cast<qint16 *>(data.data());
    for (int i = 0; i < frames; ++i) {
        const double x = std::sin(2 * M_PI * 1000.0 * i / kRate);
        s[2 * i] = static_cast<qint16>(std::lround(x * kLeftAmplitude * 32767));
        s[2 * i + 1] = static_cast<qint16>(std::lround(x * kRightAmplitude * 32767));
    }
    f.write(data);
}

void CaptureTest::startTone()
{
    stopTone();
    pacat_ = new QProcess(this);
    pacat_->start(QStringLiteral("pacat"),
                  {QStringLiteral("--playback"), QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
                   QStringLiteral("--rate=44100"), QStringLiteral("--channels=2"),
                   QStringLiteral("--device=txsink"), QStringLiteral("--latency-msec=20"), toneFile_});
    QVERIFY2(pacat_->waitForStarted(5000), "pacat did not start");
}

void CaptureTest::stopTone()
{
    if (!pacat_)
        return;
    pacat_->kill();
    pacat_->waitForFinished(3000);
    delete pacat_;
    pacat_ = nullptr;
}

void CaptureTest::cleanup()
{
    stopTone();
}

void CaptureTest::recorderDeliversFullBuffersOfTheTone()
{
    if (!haveTestServer())
        QSKIP("no test audio server (run through pulse-capture.sh)");
    startTone();
    WaveInRecorder rec;
    QVERIFY(rec.selectDeviceById(kSource));
    QCOMPARE(rec.SelectedDevice() >= 0, true);
    QCOMPARE(rec.DeviceName(rec.SelectedDevice()).contains(QChar(u'\0')), false);

    QList<qint32> lengths;
    QList<qint32> sizes;
    double loudest = 0;
    connect(&rec, &WaveInRecorder::GotData, this, [&](const std::vector<qint16> &buf, qint32 len) {
        lengths.append(len);
        sizes.append(static_cast<qint32>(buf.size()));
        loudest = std::max(loudest, GradH::ChannelPeak(buf, 0, 2) / 32768.0);
    });
    QVERIFY(serverUp(rec));
    QVERIFY(rec.StartRecord(44100, 2));
    QVERIFY(rec.IsRecording());
    QVERIFY(rec.notifyObject());
    QCOMPARE(rec.notifyObject()->objectName(), QStringLiteral("WAVE_IN_WINDOW"));
    QVERIFY(waitFor([&] { return lengths.size() >= 12 && loudest > 0.4; }, 8000));
    for (int k = 0; k < lengths.size(); ++k) {
        QCOMPARE(lengths.at(k), 10240);
        QCOMPARE(sizes.at(k), 5120);
    }
    QVERIFY2(std::abs(loudest - kLeftAmplitude) <= 0.02 * kLeftAmplitude, qPrintable(QString::number(loudest)));
    QVERIFY(rec.StopRecord());
    QVERIFY(!rec.IsRecording());
    QVERIFY(!rec.findChild<QObject *>(QStringLiteral("WAVE_IN_WINDOW")));
    const int seen = lengths.size();
    QTest::qWait(200);
    QCOMPARE(lengths.size(), seen);
}

void CaptureTest::meterShowsTheTonePeak()
{
    if (!haveTestServer())
        QSKIP("no test audio server (run through pulse-capture.sh)");
    startTone();
    // The meter records from the default input, which is the only one the test server offers.
    QCOMPARE(QMediaDevices::defaultAudioInput().id(), QByteArray(kSource));
    for (const int channel : {0, 1}) {
        GradH meter;
        meter.setVUSize(2);
        meter.setChannel(channel);
        meter.StartVU();
        QVERIFY(waitFor([&] { return meter.oRec().IsRecording(); }, 10000));
        const double want = channel == 0 ? kLeftAmplitude : kRightAmplitude;
        // Skip the silence the stream may start with.
        QVERIFY(waitFor([&] { return meter.level() > want * 0.9; }, 8000));
        QTest::qWait(300);
        QVERIFY2(std::abs(meter.level() - want) <= 0.02 * want, qPrintable(QString::number(meter.level())));
        QCOMPARE(meter.barRight(), static_cast<int>(std::nearbyint(float(meter.width()) * meter.level())));
        meter.StopVU();
        QCOMPARE(meter.barRight(), 0);
        QVERIFY(!meter.oRec().IsRecording());
    }
}

void CaptureTest::mixerOfTheRemapSource()
{
    if (!haveTestServer())
        QSKIP("no test audio server (run through pulse-capture.sh)");
    WaveInRecorder rec;
    QCOMPARE(rec.MixerLineCount(), 0);
    QCOMPARE(rec.MixerLineName(0), QString());
    QCOMPARE(rec.SelectedMixerLine(), -1);
    QVERIFY(!rec.SelectMixerLine(0));
    QVERIFY(!rec.SelectDevice(-1));
    QVERIFY(!rec.SelectDevice(rec.DeviceCount()));
    QCOMPARE(rec.SelectedDevice(), -1);

    QVERIFY(rec.selectDeviceById(kSource));
    // A remap source has no ports: no recording sources to choose.
    QCOMPARE(rec.MixerLineCount(), 0);
    QVERIFY(!rec.SelectMixerLine(0));
    QCOMPARE(rec.SelectedMixerLine(), -1);
    // The volume is the source's own and survives a round trip.
    const qint32 before = rec.MixerLineVolume();
    rec.setMixerLineVolume(32768);
    QVERIFY(std::abs(rec.MixerLineVolume() - 32768) <= 1);
    rec.setMixerLineVolume(before);
    QVERIFY(std::abs(rec.MixerLineVolume() - before) <= 1);
}

void CaptureTest::serverGoneAndBackResumesTheMeter()
{
    if (!haveTestServer())
        QSKIP("no test audio server (run through pulse-capture.sh)");
    const QString control = qEnvironmentVariable("TAVRIN_PULSE_CONTROL");
    if (control.isEmpty())
        QSKIP("no way to stop and start the test server");
    startTone();
    GradH meter;
    int buffers = 0;
    connect(&meter.oRec(), &WaveInRecorder::GotData, this, [&] { ++buffers; });
    QSignalSpy lost(&meter.oRec(), &WaveInRecorder::recordingLost);
    meter.StartVU();
    QVERIFY(waitFor([&] { return buffers >= 2; }, 10000));

    QCOMPARE(QProcess::execute(control, {QStringLiteral("stop")}), 0);
    QVERIFY(waitFor([&] { return !meter.oRec().IsRecording(); }, 8000));
    QCOMPARE(lost.size(), 1);
    QVERIFY(!meter.oRec().notifyObject());
    QCOMPARE(meter.barRight(), 0);

    // The meter finds the server again by itself.
    QCOMPARE(QProcess::execute(control, {QStringLiteral("start")}), 0);
    buffers = 0;
    startTone();
    QVERIFY(waitFor([&] { return meter.oRec().IsRecording() && buffers >= 1; }, 15000));

    // Qt's source stays "active" when its device is unloaded or the server hangs: the meter
    // must notice the silence of the device rather than freeze at its last bar, and come back.
    const QString unload = QStringLiteral("pactl unload-module module-remap-source; pactl unload-module module-null-sink");
    const QString reload = QStringLiteral("pactl load-module module-null-sink sink_name=txsink >/dev/null; "
                                          "pactl load-module module-remap-source master=txsink.monitor source_name=rxmic >/dev/null");
    const QList<QPair<QStringList, QStringList>> troubles{
        {{QStringLiteral("-c"), unload}, {QStringLiteral("-c"), reload}},
        {{QStringLiteral("-c"), control + QStringLiteral(" hang")}, {QStringLiteral("-c"), control + QStringLiteral(" wake")}}};
    for (const auto &[breakIt, mendIt] : troubles) {
        QVERIFY(waitFor([&] { return meter.level() > 0.4; }, 8000));
        QCOMPARE(QProcess::execute(QStringLiteral("bash"), breakIt), 0);
        QVERIFY(waitFor([&] { return !meter.oRec().IsRecording(); }, 15000));
        QCOMPARE(meter.barRight(), 0);
        QVERIFY(!meter.toolTip().isEmpty()); // an empty bar that says why
        QCOMPARE(QProcess::execute(QStringLiteral("bash"), mendIt), 0);
        startTone();
        buffers = 0;
        QVERIFY(waitFor([&] { return meter.oRec().IsRecording() && buffers >= 1; }, 20000));
        QCOMPARE(meter.toolTip(), QString());
    }
    QCOMPARE(lost.size(), 3);
    meter.StopVU();
    QVERIFY(!meter.findChild<QTimer *>(QStringLiteral("ReconnectTimer"))->isActive());
}

void CaptureTest::nativeVoiceSurvivesTheServerGoing()
{
#ifndef TAVRIN_TEST_NATIVE_VOICE
    QSKIP("built without the native link");
#else
    if (!haveTestServer())
        QSKIP("no test audio server (run through pulse-capture.sh)");
    const QString control = qEnvironmentVariable("TAVRIN_PULSE_CONTROL");
    if (control.isEmpty())
        QSKIP("no way to stop and start the test server");
    QStringList said;
    const auto status = [&](const QString &text) { said << text; };
    VoicePlayback playback(QStringLiteral("txsink"), status);
    VoiceCapture capture(QStringLiteral("rxmic"), {}, [](const float *, int) {}, status);
    capture.start();
    const std::vector<float> voice(160, 0.1f);
    playback.write(voice.data(), int(voice.size()));
    QVERIFY2(said.isEmpty(), qPrintable(said.join(u'\n')));

    // Qt deletes the devices' readers and writers with the server: voice that keeps arriving
    // and an unkeying afterwards must not touch them, and the loss is reported.
    QCOMPARE(QProcess::execute(control, {QStringLiteral("stop")}), 0);
    const auto lost = [&](const char *what) {
        return !said.filter(QLatin1String(what)).filter(QLatin1String("was lost")).isEmpty();
    };
    QVERIFY(waitFor([&] { return lost("Audio input") && !capture.isRunning(); }, 10000));
    capture.stop();
    // Both streams go with the one connection; the output's writer is gone by now too.
    playback.write(voice.data(), int(voice.size()));
    QVERIFY(lost("Audio output"));
    playback.write(voice.data(), int(voice.size()));
    QCOMPARE(said.filter(QLatin1String("was lost")).size(), 2);
    QCOMPARE(QProcess::execute(control, {QStringLiteral("start")}), 0);
#endif
}

void CaptureTest::noServerFailsAtOnce()
{
    if (qgetenv("PULSE_SERVER") != "unix:/nonexistent")
        QSKIP("runs with PULSE_SERVER=unix:/nonexistent only");
    WaveInRecorder rec;
    QElapsedTimer t;
    t.start();
    QVERIFY(!rec.StartRecord(44100, 2));
    QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
    QVERIFY(!rec.IsRecording());
    QVERIFY(!rec.notifyObject());
    QVERIFY(!rec.findChild<QObject *>(QStringLiteral("WAVE_IN_WINDOW")));
    QCOMPARE(rec.MixerLineCount(), 0);
    QCOMPARE(rec.SelectedMixerLine(), -1);

    GradH meter;
    meter.StartVU();
    QVERIFY(!meter.oRec().IsRecording());
    QSignalSpy answered(&meter.oRec(), &WaveInRecorder::serverAnswered);
    QVERIFY(answered.wait(10000));
    QCOMPARE(meter.toolTip(), QString::fromLatin1(GradH::kServerSilentTip));
    meter.StopVU();
    QCOMPARE(meter.toolTip(), QString());
}

// Run by pulse-capture.sh against a daemon stopped with SIGSTOP, under a time limit: the
// whole program starts without waiting for the server, and the meter asks in the background.
void CaptureTest::hungServerHoldsNothingUp()
{
    if (qgetenv("TAVRIN_PULSE_HUNG") != "1")
        QSKIP("runs against a stopped test server only");
    QTemporaryDir dir;
    test::Rig rig(dir.path());
    QVERIFY(rig.start());
    auto *meter = rig.find<GradH>(QStringLiteral("GradH1"));
    QVERIFY(meter);
    QVERIFY(!meter->oRec().IsRecording());
    QCOMPARE(meter->oRec().serverState(), WaveInRecorder::Server::Asking);
    QSignalSpy answered(&meter->oRec(), &WaveInRecorder::serverAnswered);
    QVERIFY(answered.wait(10000));
    QCOMPARE(answered.first().first().toBool(), false);
    QVERIFY(!meter->oRec().IsRecording());
    QVERIFY(meter->findChild<QTimer *>(QStringLiteral("ReconnectTimer"))->isActive());

    // The link window does not read Qt's device lists (that would wait on the server for good):
    // it offers the choice as it stands and says why.
    rig.trigger("LinkSettings");
    auto *form = rig.program().registry().get<link::FormLink>("FormLink");
    QVERIFY(form && form->isVisible());
    QCOMPARE(form->findChild<QComboBox *>(QStringLiteral("AudioInput"))->count(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(
        form->findChild<QLabel *>(QStringLiteral("StatusLine"))->text().contains("sound server does not answer"),
        10000);
}

QTEST_MAIN(CaptureTest)
#include "test_capture.moc"
