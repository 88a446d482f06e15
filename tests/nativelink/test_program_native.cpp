// The whole program, built through the composition root on the native link, against a real
// EchoLink station in its own process (the peer on 127.0.0.2) and a fake directory on
// 127.0.0.3. Tavrin's station is on 127.0.0.1; both ends use port base 15198.

#include "PeerProcess.h"

#include "core/CoreTestKit.h"
#include "echolink/native/NativeLink.h"
#include "support/FakeDirectory.h"
#include "support/FakePasswordVault.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>

#include <cmath>
#include <memory>
#include <numbers>

using namespace tavrin;
using namespace tavrin::test;

namespace {

const QString kLocalCall = QStringLiteral("XX1TAV-L");
const QString kPeer = QString::fromLatin1(kPeerCall);
const QHostAddress kDirectoryAddress(QStringLiteral("127.0.0.3"));
constexpr quint16 kDirectoryPort = 15200;

// Long enough for a loaded machine under the sanitizers; every wait ends as soon as it can.
constexpr int kWaitMs = 8000;
constexpr int kBindTries = 120; // a quarter second each

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

// A steady 440 Hz tone for the transmitter, in 8 kHz 16-bit samples, whenever asked.
class ToneInput {
public:
    QByteArray operator()(int samples)
    {
        QByteArray out(samples * int(sizeof(qint16)), Qt::Uninitialized);
        auto *p = reinterpret_cast<qint16 *>(out.data());
        for (int i = 0; i < samples; ++i, ++n_)
            p[i] = qint16(8000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * double(n_) / 8000.0));
        return out;
    }

private:
    qint64 n_ = 0;
};

// Tavrin with the native station, the fake directory and the peer, all on loopback.
struct NativeRig {
    QTemporaryDir dir;
    FakeDirectory directory;
    PeerProcess peer;
    std::unique_ptr<NativeLink> link;
    std::unique_ptr<EchoLinkClientFactory> factory;
    RecordingDialogs dialogs;
    FakePasswordVault vault;
    ProgramOptions options;
    std::unique_ptr<Program> program;

    // Steps that can fail the test; call from the test body.
    void start(const QStringList &peerOptions)
    {
        QVERIFY2(!PeerProcess::programPath().isEmpty(), "TAVRIN_ECHOLINK_PEER is not set");
        // Other programs on this machine may hold the test ports for a moment: wait for them.
        for (int i = 0; i < kBindTries && !directory.listen(kDirectoryAddress, kDirectoryPort); ++i)
            QTest::qWait(250);
        QVERIFY2(directory.port() == kDirectoryPort, qPrintable(directory.errorString()));
        FakeStation station;
        station.callsign = kPeer;
        station.location = QStringLiteral("Test peer");
        station.address = QString::fromLatin1(kPeerAddress);
        directory.setStations({station});
        QVERIFY2(peer.start(peerOptions), qPrintable(peer.lines().join(QLatin1Char('\n'))));

        NativeLinkOptions o;
        o.callsign = kLocalCall;
        o.password = QStringLiteral("secret");
        o.name = QStringLiteral("Tavrin test");
        o.location = QStringLiteral("Loopback");
        o.directoryServers = {directory.server()};
        o.portBase = kTestPortBase;
        o.bindAddress = QStringLiteral("127.0.0.1");
        o.audioInput = QStringLiteral("none");
        o.audioOutput = QStringLiteral("none");
        o.testAudioInput = ToneInput();
        link = std::make_unique<NativeLink>(o);
        QVERIFY2(link->start(), qPrintable(link->statusText()));
        factory = link->factory();

        // Preset set 1's node is the peer: its node button links to it.
        writeFile(dir.filePath(QStringLiteral("TVRset1.ini")), "[SETTINGS]\r\nNodeCall=" + kPeer.toLatin1() + "\r\n");
        options.clientFactory = factory.get();
        options.settingsDir = dir.path();
        options.dialogs = &dialogs;
        options.passwordVault = &vault;
        options.servers = closedLoopbackServers();
        program = std::make_unique<Program>(options);
        QVERIFY(program->start());
    }

    ~NativeRig()
    {
        if (QTest::currentTestFailed())
            qInfo("the peer said:\n%s", qPrintable(peer.lines().join(QLatin1Char('\n'))));
        // The windows' handles go before the station they talk to.
        program.reset();
        factory.reset();
        link.reset();
    }

    template <class T>
    T *find(const char *name)
    {
        T *found = program->mainWindow()->findChild<T *>(QLatin1String(name));
        if (!found)
            qWarning("no control %s", name);
        return found;
    }
    QString text(const char *name)
    {
        if (auto *e = program->mainWindow()->findChild<QLineEdit *>(QLatin1String(name)))
            return e->text();
        if (auto *l = program->mainWindow()->findChild<QLabel *>(QLatin1String(name)))
            return l->text();
        qWarning("no text control %s", name);
        return {};
    }
    bool lastLoginIs(const char *statusPrefix) const
    {
        const auto &logins = directory.logins();
        return !logins.isEmpty() && logins.last().status.startsWith(QLatin1String(statusPrefix));
    }
};

} // namespace

// The protocol library leaks a signal slot per received voice stream (inside the library, not
// ours to fix). The slow unwinder sees through its frames, so the suppression names only it.
extern "C" const char *__lsan_default_suppressions();
extern "C" __attribute__((used)) const char *__lsan_default_suppressions() { return "leak:libecholib\n"; }
extern "C" const char *__asan_default_options();
extern "C" __attribute__((used)) const char *__asan_default_options() { return "fast_unwind_on_malloc=0"; }

class ProgramNativeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Link by callsign, presets, the frequency report, the node's audio on PTT1, station info,
    // busy listing and Disconnect All: every path between the windows and a real station.
    void wholeProgramAgainstAPeerStation()
    {
        NativeRig rig;
        rig.start({QStringLiteral("--auto-accept"), QStringLiteral("--answer-commands")});
        if (QTest::currentTestFailed())
            return;
        QTRY_VERIFY_WITH_TIMEOUT(rig.lastLoginIs("ONLINE"), kWaitMs);
        QCOMPARE(rig.directory.logins().last().callsign, kLocalCall);

        // The node button of set 1 links to the peer by callsign, through the station list.
        auto *nodeButton = rig.find<QPushButton>("Command29");
        QTRY_COMPARE_WITH_TIMEOUT(nodeButton->text(), kPeer, kWaitMs); // captions follow the sets each tick
        int from = rig.peer.mark();
        nodeButton->click();
        QVERIFY(rig.peer.waitFor(QStringLiteral("connected ") + kLocalCall, kWaitMs, from));
        QTRY_COMPARE_WITH_TIMEOUT(rig.text("NumStations"), QStringLiteral("1"), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(rig.text("Text2"), kPeer, kWaitMs);
        // Exactly one connection, however often the request was repeated.
        QCOMPARE(rig.peer.lines().count(QStringLiteral("connected ") + kLocalCall), 1);

        // A preset press reaches the node as its "FN" line.
        from = rig.peer.mark();
        rig.find<QWidget>("Frame3")->setVisible(true);
        rig.find<QPushButton>("Command1")->click();
        QVERIFY(rig.peer.waitFor(QStringLiteral("chat ") + kLocalCall + QStringLiteral(">FN1.8500"), kWaitMs, from));

        // The node's frequency report updates the display.
        rig.peer.send(QStringLiteral("chat FN7.1450 USB"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.text("Label4"), QStringLiteral("7.1450"), kWaitMs);
        QCOMPARE(rig.text("Text1"), QStringLiteral("7.1450"));

        // The node's audio shows on PTT1 while it lasts.
        rig.peer.send(QStringLiteral("tone 1500"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.text("PTT1"), QStringLiteral("IP  TX  ON"), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(rig.text("PTT1"), QStringLiteral("IP  TX  OFF"), kWaitMs);

        // Keying sends our audio to the node; releasing ends it.
        from = rig.peer.mark();
        auto *transmit = rig.find<QPushButton>("Command1x");
        transmit->click();
        QCOMPARE(rig.text("Label3"), QStringLiteral("Transmitting"));
        QVERIFY(rig.peer.waitFor(QStringLiteral("rx on"), kWaitMs, from));
        const auto someAudio = [](const QString &l) {
            return l.startsWith(QLatin1String("audio ")) && l.mid(6).toLongLong() > 0;
        };
        QVERIFY(rig.peer.waitForLine(someAudio, kWaitMs, from) >= 0);
        QTest::qWait(400); // a supervision tick: the display follows the link, which still transmits
        QCOMPARE(rig.text("Label3"), QStringLiteral("Transmitting"));
        transmit->click();
        QCOMPARE(rig.text("Label3"), QStringLiteral("Receive Mode"));
        QVERIFY(rig.peer.waitFor(QStringLiteral("rx off"), kWaitMs, from));
        QVERIFY(rig.peer.lastAudioCount() >= 8000 / 4); // well over a quarter second of voice

        // Station information reaches the station list.
        rig.peer.send(QStringLiteral("info PEER-L station, 20 m beam"));
        auto *stationList = rig.find<QTextEdit>("Text35");
        QTRY_VERIFY_WITH_TIMEOUT(stationList->toPlainText().contains(QStringLiteral("20 m beam")), kWaitMs);

        // Once linked to set 1's node, the program asks it for its frequency ("FR?", 5 s on);
        // the answer (the last frequency it was sent) shows.
        QVERIFY(rig.peer.waitFor(QStringLiteral("chat ") + kLocalCall + QStringLiteral(">FR?"), kWaitMs, 0));
        QTRY_COMPARE_WITH_TIMEOUT(rig.text("Label4"), QStringLiteral("1.8500"), kWaitMs);

        // Garbage from the node's address neither drops the link nor stops the chat. (A chat
        // line sent in the middle of the flood may be lost with it, as on any UDP link: wait.)
        rig.peer.send(QStringLiteral("garbage 200"));
        QTest::qWait(1000);
        rig.peer.send(QStringLiteral("chat FN14.2345"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.text("Label4"), QStringLiteral("14.2345"), kWaitMs);
        QCOMPARE(rig.text("NumStations"), QStringLiteral("1"));

        // "List Busy" lists the node busy in the directory, and back.
        rig.program->mainWindow()->findChild<QAction *>(QStringLiteral("ListBusy"))->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(rig.lastLoginIs("BUSY"), kWaitMs);
        rig.program->mainWindow()->findChild<QAction *>(QStringLiteral("ListBusy"))->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(rig.lastLoginIs("ONLINE"), kWaitMs);

        // "Disconnect All" drops the link at both ends.
        from = rig.peer.mark();
        rig.find<QPushButton>("Command72")->click();
        QVERIFY(rig.peer.waitFor(QStringLiteral("disconnected ") + kLocalCall, kWaitMs, from));
        QTRY_COMPARE_WITH_TIMEOUT(rig.text("NumStations"), QStringLiteral("0"), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(rig.text("Text1"), QStringLiteral("000.0000"), kWaitMs);

        QCOMPARE(rig.peer.stop(), 0);
        QVERIFY(rig.dialogs.shown.isEmpty());
    }

    // A station that never answers: the node button's link attempt fails quietly, the program
    // stays usable, and a station the directory doesn't know is not linked at all.
    void refusingPeerLeavesTheProgramUsable()
    {
        NativeRig rig;
        rig.start({QStringLiteral("--refuse")});
        if (QTest::currentTestFailed())
            return;
        const int from = rig.peer.mark();
        QTRY_COMPARE_WITH_TIMEOUT(rig.find<QPushButton>("Command29")->text(), kPeer, kWaitMs);
        rig.find<QPushButton>("Command29")->click();
        QVERIFY(rig.peer.waitFor(QStringLiteral("incoming ") + kLocalCall, kWaitMs, from));
        QTest::qWait(1000);
        QCOMPARE(rig.text("NumStations"), QStringLiteral("0"));

        // The user interface still answers: a preset press shows its frequency at once.
        rig.find<QWidget>("Frame3")->setVisible(true);
        rig.find<QPushButton>("Command2")->click();
        QCOMPARE(rig.text("Label4"), QStringLiteral("1.8750"));
        QCOMPARE(rig.peer.stop(), 0);
    }
};

QTEST_MAIN(ProgramNativeTest)
#include "test_program_native.moc"
