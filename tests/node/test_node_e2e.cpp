// The two programs end to end (see NodeEndToEnd.h). The real `tavrin` runs the scenarios of
// this folder (operator.scn, stranger.scn) against the node, stopping at each "sync" while
// this test checks the rig: presets, read-back, keying, unlinking and the allow-list. Those
// cases need a keychain for Tavrin's directory password and a sound server for its
// microphone: node.e2e_programs runs them inside keyring-session.sh and pulse-voice.sh; the
// plain run skips them. The time-out runs with Tavrin in this process.

#include "NodeEndToEnd.h"

#include "settings/PasswordVault.h"

#include <QDir>
#include <QUdpSocket>

#include <algorithm>
#include <optional>

using namespace tavrin;
using namespace tavrin::test;


extern "C" const char *__lsan_default_suppressions();
extern "C" __attribute__((used)) const char *__lsan_default_suppressions() { return "leak:libecholib\n"; }

namespace {

// The real Tavrin program running one of this folder's scenarios on the native link.
class TavrinProcess {
public:
    ~TavrinProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    bool start(const QString &scenario, const QString &settingsDir)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":fast_unwind_on_malloc=0"));
        process_.setProcessEnvironment(env);
        QObject::connect(&process_, &QProcess::readyReadStandardOutput,
                         [this] { out_ += QString::fromUtf8(process_.readAllStandardOutput()); });
        QObject::connect(&process_, &QProcess::readyReadStandardError,
                         [this] { err_ += QString::fromUtf8(process_.readAllStandardError()); });
        const QString file = qEnvironmentVariable("TAVRIN_NODE_SCENARIOS") + QLatin1Char('/') + scenario;
        process_.start(qEnvironmentVariable("TAVRIN_PROGRAM"),
                       {QStringLiteral("--scenario"), file, QStringLiteral("--settings-dir"), settingsDir});
        return process_.waitForStarted(kWaitMs);
    }
    // The scenario stopped at "sync NAME"; false when it ended or failed before.
    bool reached(const QString &name)
    {
        const QString line = QStringLiteral("sync ") + name + QLatin1Char('\n');
        (void)QTest::qWaitFor([&] { return out_.contains(line) || process_.state() == QProcess::NotRunning; }, 4 * kWaitMs);
        if (!out_.contains(line))
            qWarning("tavrin did not reach sync %s; it said:\n%s", qPrintable(name), qPrintable(err_));
        return out_.contains(line);
    }
    void resume() { process_.write("\n"); }
    // The scenario's exit code once the program has ended (logged off included); -1 on a crash.
    int finish()
    {
        (void)QTest::qWaitFor([&] { return process_.state() == QProcess::NotRunning; }, 4 * kWaitMs);
        if (process_.state() != QProcess::NotRunning || process_.exitStatus() != QProcess::NormalExit) {
            qWarning("tavrin did not end cleanly; it said:\n%s", qPrintable(err_));
            return -1;
        }
        if (process_.exitCode() != 0)
            qWarning("tavrin said:\n%s", qPrintable(err_));
        return process_.exitCode();
    }

private:
    QProcess process_;
    QString out_;
    QString err_;
};

// Empty when the two programs can run here; else why not.
QString whyNotTwoPrograms()
{
    if (qEnvironmentVariableIsEmpty("TAVRIN_KEYRING_SESSION") || qEnvironmentVariableIsEmpty("TAVRIN_PULSE_VOICE"))
        return QStringLiteral("needs the keychain and sound server of node.e2e_programs");
    if (!Rigctld::available())
        return QStringLiteral("rigctld not installed (libhamlib-utils)");
    return {};
}

// The node and Tavrin's settings for it; the directory password in the session's keychain.
void startForScenario(EndToEnd &e, const QByteArray &allow, QString *settingsDir)
{
    QVERIFY2(!qEnvironmentVariable("TAVRIN_PROGRAM").isEmpty(), "TAVRIN_PROGRAM is not set");
    const std::unique_ptr<PasswordVault> vault = makeDesktopPasswordVault();
    std::optional<PasswordVault::Result> stored;
    vault->write(kLocalCall, QStringLiteral("secret"), [&](const PasswordVault::Result &r) { stored = r; });
    QTRY_VERIFY_WITH_TIMEOUT(stored.has_value(), kWaitMs);
    QVERIFY2(stored->ok, qPrintable(stored->error));
    e.startNode(allow);
    if (QTest::currentTestFailed())
        return;
    *settingsDir = e.dir.filePath(QStringLiteral("tavrin"));
    QVERIFY(QDir().mkpath(*settingsDir));
    e.writeTavrinSettings(*settingsDir);
}

} // namespace

class NodeEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // operator.scn: a preset press tunes the rig and the display shows the node's report; a
    // change made at the rig shows after "What Frequency ?"; keying keys the rig, releasing
    // and unlinking unkey it. SIGTERM then stops the node cleanly.
    void panelDrivesTheRig()
    {
        if (const QString why = whyNotTwoPrograms(); !why.isEmpty())
            QSKIP(qPrintable(why));
        EndToEnd e;
        QString settings;
        startForScenario(e, "XX1TAV", &settings);
        if (QTest::currentTestFailed())
            return;
        TavrinProcess tavrin;
        QVERIFY(tavrin.start(QStringLiteral("operator.scn"), settings));

        QVERIFY(tavrin.reached(QStringLiteral("tuned")));
        QCOMPARE(e.rigHz(), qint64(1'850'000));
        QVERIFY(!e.rig->ptt());
        e.rig->setFrequency(7'123'400);
        tavrin.resume();

        QVERIFY(tavrin.reached(QStringLiteral("keyed")));
        QTRY_VERIFY_WITH_TIMEOUT(e.rig->ptt(), kWaitMs);
        tavrin.resume();
        QVERIFY(tavrin.reached(QStringLiteral("released")));
        QTRY_VERIFY_WITH_TIMEOUT(!e.rig->ptt(), kWaitMs);
        tavrin.resume();
        QVERIFY(tavrin.reached(QStringLiteral("keyed-again")));
        QTRY_VERIFY_WITH_TIMEOUT(e.rig->ptt(), kWaitMs);
        tavrin.resume();
        QVERIFY(tavrin.reached(QStringLiteral("unlinked")));
        QTRY_VERIFY_WITH_TIMEOUT(e.node.logSays(kLocalCall + QStringLiteral(" unlinked")), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!e.rig->ptt(), kWaitMs);
        tavrin.resume();
        QCOMPARE(tavrin.finish(), 0);

        QCOMPARE(e.node.stop(), 0);
        QVERIFY(e.node.logSays(QStringLiteral("stopped")));
        QVERIFY(!e.rig->ptt());
    }

    // stranger.scn: an operator not on the allow-list; the preset changes nothing and keying
    // stays off, and a forged chat packet speaks in Tavrin's name all the same.
    void strangerChangesNothing()
    {
        if (const QString why = whyNotTwoPrograms(); !why.isEmpty())
            QSKIP(qPrintable(why));
        EndToEnd e;
        QString settings;
        startForScenario(e, "XX7OTH", &settings);
        if (QTest::currentTestFailed())
            return;
        TavrinProcess tavrin;
        QVERIFY(tavrin.start(QStringLiteral("stranger.scn"), settings));

        const QString refusal = QStringLiteral("refused a command from ") + kLocalCall;
        QVERIFY(tavrin.reached(QStringLiteral("pressed")));
        QTRY_VERIFY_WITH_TIMEOUT(e.node.logSays(refusal), kWaitMs);
        QCOMPARE(e.rigHz(), qint64(14'200'000));

        // A chat packet from Tavrin's address that claims to come from the allowed station.
        QUdpSocket forger;
        QVERIFY(forger.bind(kTavrinAddress, 0));
        forger.writeDatagram("oNDATAXX7OTH>FN7.1000\r\n", QHostAddress(QString::fromLatin1(kNodeAddress)), kPortBase);
        QTRY_VERIFY_WITH_TIMEOUT(e.node.log().count(refusal) == 2 || e.node.logSays(QStringLiteral("command from XX7OTH")),
                                 kWaitMs);
        QVERIFY(!e.node.logSays(QStringLiteral("command from XX7OTH")));
        tavrin.resume();

        // Tavrin's voice reaches the node, which does not key for it.
        QVERIFY(tavrin.reached(QStringLiteral("transmitting")));
        QTRY_VERIFY_WITH_TIMEOUT(e.node.logSays(QStringLiteral("\nvoice from the link")), kWaitMs);
        QVERIFY(!e.rig->ptt());
        tavrin.resume();
        QCOMPARE(tavrin.finish(), 0);
        QVERIFY(!e.node.logSays(QStringLiteral("\nkeying the rig")));
        QCOMPARE(e.rigHz(), qint64(14'200'000));
    }

    // An over longer than the transmit time-out is cut: the rig unkeys while Tavrin still
    // transmits, and the chat says why.
    void timeOutUnkeys()
    {
        if (!Rigctld::available())
            QSKIP("rigctld not installed (libhamlib-utils)");
        EndToEnd e;
        e.start("XX1TAV", 1);
        if (QTest::currentTestFailed())
            return;
        QTRY_COMPARE_WITH_TIMEOUT(e.text("NumStations"), QStringLiteral("1"), kWaitMs);
        auto *transmit = e.find<QPushButton>("Command1x");
        transmit->click();
        QTRY_VERIFY_WITH_TIMEOUT(e.node.logSays(QStringLiteral("\nkeying the rig")), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(e.node.logSays(QStringLiteral("unkeying the rig (transmit time-out)")), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!e.rig->ptt(), kWaitMs);
        QCOMPARE(e.text("Label3"), QStringLiteral("Transmitting"));
        transmit->click();
    }

    // The terminal the node runs in goes away (SIGHUP) while an operator transmits: the rig
    // is unkeyed and the node ends cleanly.
    void hangUpUnkeys()
    {
        if (!Rigctld::available())
            QSKIP("rigctld not installed (libhamlib-utils)");
        EndToEnd e;
        e.start("XX1TAV");
        if (QTest::currentTestFailed())
            return;
        QTRY_COMPARE_WITH_TIMEOUT(e.text("NumStations"), QStringLiteral("1"), kWaitMs);
        e.find<QPushButton>("Command1x")->click();
        QTRY_VERIFY_WITH_TIMEOUT(e.rig->ptt(), kWaitMs);
        QCOMPARE(e.node.stop(SIGHUP), 0);
        QVERIFY(!e.rig->ptt());
        // The directory heard that the node has gone, so callers stop trying it.
        const QList<FakeLogin> logins = e.directory.logins();
        QVERIFY(std::any_of(logins.begin(), logins.end(), [](const FakeLogin &l) {
            return l.callsign == kNodeCall && l.status.startsWith(QLatin1String("OFF"));
        }));
        e.find<QPushButton>("Command1x")->click();
    }
};

QTEST_MAIN(NodeEndToEndTest)
#include "test_node_e2e.moc"
