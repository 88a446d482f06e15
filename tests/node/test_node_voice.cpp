// The node's audio both ways through a private PulseAudio server (run through
// tests/nativelink/pulse-voice.sh): Tavrin's voice is played on the rig's audio input (the
// sink "rxsink") while the rig is keyed, and the rig's received audio (a tone into "txsink",
// heard on the source "rxmic") opens the node's squelch and reaches Tavrin as link audio.

#include "NodeEndToEnd.h"

#include <QProcess>

using namespace tavrin;
using namespace tavrin::test;

namespace {

// What is played on a sink, as its monitor records it: 8 kHz 16-bit mono.
class Recorder {
public:
    bool start(const QString &monitor)
    {
        QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] { data_ += process_.readAllStandardOutput(); });
        process_.start(QStringLiteral("parec"), {QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
                                                 QStringLiteral("--channels=1"), QStringLiteral("--rate=8000"),
                                                 QStringLiteral("--device=") + monitor});
        return process_.waitForStarted(5000);
    }
    ~Recorder()
    {
        process_.kill();
        process_.waitForFinished(3000);
    }
    qint64 samples() const { return data_.size() / 2; }
    // The largest sample from `from` on.
    int peak(qint64 from) const
    {
        int best = 0;
        const auto *p = reinterpret_cast<const qint16 *>(data_.constData());
        for (qint64 i = from; i < samples(); ++i)
            best = std::max(best, std::abs(int(p[i])));
        return best;
    }

private:
    QProcess process_;
    QByteArray data_;
};

} // namespace

extern "C" const char *__lsan_default_suppressions();
extern "C" __attribute__((used)) const char *__lsan_default_suppressions() { return "leak:libecholib\n"; }

class NodeVoiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (!qEnvironmentVariableIsSet("TAVRIN_PULSE_VOICE"))
            QSKIP("no test audio server (run through tests/nativelink/pulse-voice.sh)");
        if (!Rigctld::available())
            QSKIP("rigctld not installed (libhamlib-utils)");
    }

    void voiceBothWays()
    {
        EndToEnd e;
        e.start("XX1TAV", 180, "[audio]\noutput=rxsink\ninput=rxmic\n[squelch]\nthreshold_db=-40\nhang_ms=300\n");
        if (QTest::currentTestFailed())
            return;
        Recorder rig;
        QVERIFY2(rig.start(QStringLiteral("rxsink.monitor")), "parec did not start");
        QTRY_COMPARE_WITH_TIMEOUT(e.text("NumStations"), QStringLiteral("1"), kWaitMs);

        // Tavrin's voice reaches the rig's audio input while the rig is keyed.
        QTRY_VERIFY_WITH_TIMEOUT(rig.samples() > 0, kWaitMs);
        const qint64 from = rig.samples();
        auto *transmit = e.find<QPushButton>("Command1x");
        transmit->click();
        QTRY_VERIFY_WITH_TIMEOUT(e.rig->ptt(), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(rig.peak(from) > 2000, kWaitMs);
        transmit->click();
        QTRY_VERIFY_WITH_TIMEOUT(!e.rig->ptt(), kWaitMs);

        // The rig hears a signal: the squelch opens and Tavrin receives it, then it closes.
        QByteArray tone(48000 * 2 * 4, Qt::Uninitialized); // 4 s at 48 kHz
        auto *p = reinterpret_cast<qint16 *>(tone.data());
        for (int i = 0; i < 48000 * 4; ++i)
            p[i] = qint16(10000.0 * std::sin(2.0 * std::numbers::pi * 1000.0 * i / 48000.0));
        const QString toneFile = e.dir.filePath(QStringLiteral("tone.raw"));
        writeFile(toneFile, tone);
        QProcess pacat;
        pacat.start(QStringLiteral("pacat"), {QStringLiteral("--playback"), QStringLiteral("--raw"),
                                              QStringLiteral("--format=s16le"), QStringLiteral("--rate=48000"),
                                              QStringLiteral("--channels=1"), QStringLiteral("--device=txsink"),
                                              toneFile});
        QVERIFY2(pacat.waitForStarted(5000), "pacat did not start");
        QTRY_COMPARE_WITH_TIMEOUT(e.text("PTT1"), QStringLiteral("IP  TX  ON"), kWaitMs);
        QVERIFY(e.node.logSays(QStringLiteral("sending the rig's audio to the link")));
        QVERIFY(pacat.waitForFinished(kWaitMs));
        QTRY_COMPARE_WITH_TIMEOUT(e.text("PTT1"), QStringLiteral("IP  TX  OFF"), kWaitMs);
    }
};

QTEST_MAIN(NodeVoiceTest)
#include "test_node_voice.moc"
