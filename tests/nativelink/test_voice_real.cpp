// The native station's voice through real sound devices. tests/nativelink/pulse-voice.sh starts
// a private PulseAudio server with a null sink "txsink" and a remap source "rxmic" on its
// monitor (our microphone: this program plays a 1 kHz tone into txsink with pacat), and a
// second null sink "rxsink" (our loudspeaker: its monitor is recorded with parec), then runs
// this program with TAVRIN_PULSE_VOICE set. Without that, every case skips.
// The far end is the peer station on 127.0.0.2 and a fake directory on 127.0.0.3, as in
// test_nativelink.cpp; ours is on 127.0.0.1, both ends at port base 15198.

#include "PeerProcess.h"

#include "echolink/native/NativeLink.h"
#include "support/FakeDirectory.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

using namespace tavrin;
using namespace tavrin::test;

// The protocol library leaks a signal slot whenever one of its timers deletes itself from
// its own callback (the receive indicator does, per voice stream); not ours to fix.
extern "C" const char *__lsan_default_suppressions();
extern "C" __attribute__((used)) const char *__lsan_default_suppressions()
{
    return "leak:libecholib\nleak:libsigc-2.0\n";
}

namespace {

constexpr char kInput[] = "rxmic";
constexpr char kOutput[] = "rxsink";
const QString kLocalCall = QStringLiteral("XX1TAV-L");
const QString kPeer = QString::fromLatin1(kPeerCall);
const QHostAddress kDirectoryAddress(QStringLiteral("127.0.0.3"));
constexpr quint16 kDirectoryPort = 15200;
constexpr int kWaitMs = 15000; // sound servers and sanitizer builds are slow to start
constexpr int kRecordRate = 8000;
constexpr int kWindow = 1600; // 200 ms at kRecordRate: a whole number of 1 kHz cycles

bool hasDevice(const QList<QAudioDevice> &devices, const char *id)
{
    for (const QAudioDevice &d : devices)
        if (d.id() == id)
            return true;
    return false;
}

QString describe(const QList<QAudioDevice> &devices, const char *id)
{
    for (const QAudioDevice &d : devices) {
        if (d.id() != id)
            continue;
        QAudioFormat link;
        link.setChannelCount(1);
        link.setSampleFormat(QAudioFormat::Int16);
        link.setSampleRate(8000);
        const QAudioFormat f = d.preferredFormat();
        return QStringLiteral("%1: preferred %2 Hz x%3, 8 kHz mono %4")
            .arg(QString::fromUtf8(id))
            .arg(f.sampleRate())
            .arg(f.channelCount())
            .arg(d.isFormatSupported(link) ? QStringLiteral("taken") : QStringLiteral("not taken"));
    }
    return QStringLiteral("%1: missing").arg(QString::fromUtf8(id));
}

struct Level {
    double rms = 0;
    double toneShare = 0; // of the power, the part at 1 kHz
};

// The level of kWindow samples, and how much of it is a 1 kHz tone (Goertzel).
Level measure(const qint16 *s)
{
    const double w = 2.0 * std::numbers::pi * 1000.0 / kRecordRate;
    const double coeff = 2.0 * std::cos(w);
    double q1 = 0, q2 = 0, energy = 0;
    for (int i = 0; i < kWindow; ++i) {
        const double x = s[i] / 32768.0;
        energy += x * x;
        const double q0 = coeff * q1 - q2 + x;
        q2 = q1;
        q1 = q0;
    }
    Level level;
    level.rms = std::sqrt(energy / kWindow);
    const double power = q1 * q1 + q2 * q2 - coeff * q1 * q2;
    level.toneShare = energy > 0 ? 2.0 * power / (kWindow * energy) : 0.0;
    return level;
}

// What is played on a sink, as its monitor records it: 8 kHz 16-bit mono.
class Recorder {
public:
    bool start(const QString &monitor)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] { data_ += process_.readAllStandardOutput(); });
        process_.start(QStringLiteral("parec"),
                       {QStringLiteral("--raw"), QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
                        QStringLiteral("--rate=%1").arg(kRecordRate), QStringLiteral("--latency-msec=20"),
                        QStringLiteral("--device=") + monitor});
        return process_.waitForStarted(5000);
    }
    ~Recorder()
    {
        process_.kill();
        process_.waitForFinished(3000);
    }
    qint64 samples() const { return data_.size() / 2; }
    // The loudest window from sample `from` on, in steps of half a window.
    Level loudest(qint64 from) const
    {
        Level best;
        std::vector<qint16> window(kWindow);
        for (qint64 at = from; at + kWindow <= samples(); at += kWindow / 2) {
            std::memcpy(window.data(), data_.constData() + 2 * at, sizeof(qint16) * kWindow);
            const Level l = measure(window.data());
            if (l.rms > best.rms)
                best = l;
        }
        return best;
    }

private:
    QProcess process_;
    QByteArray data_;
};

} // namespace

class TestVoiceReal : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (!qEnvironmentVariableIsSet("TAVRIN_PULSE_VOICE"))
            QSKIP("no test audio server (run through tests/nativelink/pulse-voice.sh)");
        QVERIFY2(!PeerProcess::programPath().isEmpty(), "TAVRIN_ECHOLINK_PEER is not set");
        const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
        const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
        qInfo("%s", qPrintable(describe(inputs, kInput)));
        qInfo("%s", qPrintable(describe(outputs, kOutput)));
        QVERIFY2(hasDevice(inputs, kInput), "the test server has no source rxmic");
        QVERIFY2(hasDevice(outputs, kOutput), "the test server has no sink rxsink");

        // 60 s of 1 kHz at half scale, at a rate that is not the link's.
        QVERIFY(dir_.isValid());
        toneFile_ = dir_.filePath(QStringLiteral("tone.raw"));
        QFile f(toneFile_);
        QVERIFY(f.open(QIODevice::WriteOnly));
        constexpr int rate = 48000;
        QByteArray data(qsizetype(rate) * 60 * 2, Qt::Uninitialized);
        auto *s = reinterpret_cast<qint16 *>(data.data());
        for (int i = 0; i < rate * 60; ++i)
            s[i] = qint16(std::lround(0.5 * 32767 * std::sin(2 * std::numbers::pi * 1000.0 * i / rate)));
        QCOMPARE(f.write(data), data.size());
    }

    void init()
    {
        directory_ = std::make_unique<FakeDirectory>();
        QVERIFY2(directory_->listen(kDirectoryAddress, kDirectoryPort), qPrintable(directory_->errorString()));
        FakeStation station;
        station.callsign = kPeer;
        station.address = QString::fromLatin1(kPeerAddress);
        directory_->setStations({station});
        QVERIFY2(peer_.start({QStringLiteral("--auto-accept")}), qPrintable(peer_.lines().join(QLatin1Char('\n'))));

        NativeLinkOptions options;
        options.callsign = kLocalCall;
        options.password = QStringLiteral("secret");
        options.name = QStringLiteral("Tavrin test");
        options.location = QStringLiteral("Loopback");
        options.portBase = kTestPortBase;
        options.bindAddress = QStringLiteral("127.0.0.1");
        options.directoryServers = {directory_->server()};
        options.directoryTimeoutMs = 2000;
        options.audioInput = QString::fromLatin1(kInput);
        options.audioOutput = QString::fromLatin1(kOutput);
        link_ = std::make_unique<NativeLink>(options);
        QObject::connect(link_.get(), &NativeLink::statusChanged, [this](const QString &s) {
            statuses_ << s;
            qInfo("status: %s", qPrintable(s)); // for the reader of a failure
        });
        QVERIFY2(link_->start(), qPrintable(link_->statusText()));
        factory_ = link_->factory();
        client_ = factory_->create();
        QObject::connect(client_.get(), &EchoLinkClient::RX, [this](bool on) { rx_ << on; });

        const int from = peer_.mark();
        client_->Connect(kPeer, true);
        QTRY_VERIFY_WITH_TIMEOUT(client_->IsConnected(kPeer), kWaitMs);
        QVERIFY(peer_.waitFor(QStringLiteral("connected ") + kLocalCall, kWaitMs, from));
    }

    void cleanup()
    {
        if (pacat_) {
            pacat_->kill();
            pacat_->waitForFinished(3000);
            pacat_.reset();
        }
        client_.reset();
        factory_.reset();
        link_.reset();
        peer_.stop();
        directory_.reset();
        // Neither device may have failed on us along the way.
        const QStringList deviceTrouble = statuses_.filter(QStringLiteral("udio "));
        statuses_.clear();
        rx_.clear();
        QVERIFY2(deviceTrouble.isEmpty(), qPrintable(deviceTrouble.join(QLatin1Char('\n'))));
    }

    void microphoneReachesThePeerAtTheLinkRate()
    {
        pacat_ = std::make_unique<QProcess>();
        pacat_->start(QStringLiteral("pacat"),
                      {QStringLiteral("--playback"), QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
                       QStringLiteral("--rate=48000"), QStringLiteral("--channels=1"), QStringLiteral("--device=txsink"),
                       QStringLiteral("--latency-msec=20"), toneFile_});
        QVERIFY2(pacat_->waitForStarted(5000), "pacat did not start");

        int from = peer_.mark();
        client_->SetTransmit(true);
        QVERIFY(client_->IsTransmitting());
        QVERIFY(peer_.waitFor(QStringLiteral("rx on"), kWaitMs, from));
        auto countAtLeast = [](qint64 n) {
            return [n](const QString &l) { return l.startsWith(QLatin1String("audio ")) && l.mid(6).toLongLong() >= n; };
        };
        QVERIFY2(peer_.waitForLine(countAtLeast(4000), kWaitMs, from) >= 0, qPrintable(peer_.lines().join(QLatin1Char('\n'))));

        // Keyed on for a few seconds more: the device's audio arrives at 8000 samples a
        // second, neither lost nor duplicated in the conversion from the device's rate.
        const qint64 startCount = peer_.lastAudioCount();
        QElapsedTimer keyed;
        keyed.start();
        QTest::qWait(4000);
        from = peer_.mark();
        client_->SetTransmit(false);
        const qint64 keyedMs = keyed.elapsed();
        QVERIFY(!client_->IsTransmitting());
        QVERIFY(peer_.waitFor(QStringLiteral("rx off"), kWaitMs, from));
        QTRY_VERIFY_WITH_TIMEOUT(peer_.lastAudioCount() > startCount, kWaitMs);
        // The peer's "rx off" is no end mark (a pause of ours under load reads as one), so wait
        // until what was captured while keyed has all arrived: the count stands still.
        qint64 heard = peer_.lastAudioCount();
        for (;;) {
            QTest::qWait(1500);
            if (peer_.lastAudioCount() == heard)
                break;
            heard = peer_.lastAudioCount();
            QVERIFY2(keyed.elapsed() < keyedMs + kWaitMs, "the peer's count never stood still");
        }
        const double rate = double(heard - startCount) * 1000.0 / double(keyedMs);
        qInfo("%lld samples in %lld ms keyed", heard - startCount, keyedMs);
        QVERIFY2(std::abs(rate - 8000.0) < 8000.0 * 0.1,
                 qPrintable(QStringLiteral("%1 samples a second").arg(rate)));

        // Unkeyed: nothing more is sent.
        QTest::qWait(600);
        QCOMPARE(peer_.lastAudioCount(), heard);
    }

    void peerVoicePlaysOnTheOutput()
    {
        Recorder recorder;
        QVERIFY2(recorder.start(QString::fromLatin1(kOutput) + QStringLiteral(".monitor")), "parec did not start");
        // Before the peer talks the output is silent.
        QTRY_VERIFY_WITH_TIMEOUT(recorder.samples() >= 4 * kWindow, kWaitMs);
        QVERIFY2(recorder.loudest(0).rms < 0.01, qPrintable(QString::number(recorder.loudest(0).rms)));

        const qint64 from = recorder.samples();
        peer_.send(QStringLiteral("tone 1500"));
        QTRY_COMPARE_WITH_TIMEOUT(rx_, (QList<bool>{true, false}), kWaitMs);
        // The peer's half-scale 1 kHz tone, through the codec, played on our output: loud, and
        // still 1 kHz (played at the device's rate, not at the link's).
        QTRY_VERIFY_WITH_TIMEOUT(recorder.loudest(from).rms > 0.15, kWaitMs);
        const Level level = recorder.loudest(from);
        qInfo("played: rms %.3f, 1 kHz share %.3f", level.rms, level.toneShare);
        QVERIFY2(level.toneShare > 0.7, qPrintable(QStringLiteral("rms %1, 1 kHz share %2").arg(level.rms).arg(level.toneShare)));
    }

private:
    QTemporaryDir dir_;
    QString toneFile_;
    std::unique_ptr<FakeDirectory> directory_;
    PeerProcess peer_;
    std::unique_ptr<NativeLink> link_;
    std::unique_ptr<EchoLinkClientFactory> factory_;
    std::unique_ptr<EchoLinkClient> client_;
    std::unique_ptr<QProcess> pacat_;
    QStringList statuses_;
    QList<bool> rx_;
};

QTEST_GUILESS_MAIN(TestVoiceReal)
#include "test_voice_real.moc"
