// The peer station program the native link's tests rely on, checked against a second copy of
// itself (127.0.0.2 and 127.0.0.4, same port base): if it misbehaves, every test built on it
// would mislead.

#include "PeerProcess.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QUdpSocket>

using namespace tavrin::test;

namespace {

const QString kOtherAddress = QStringLiteral("127.0.0.4");
const QString kOtherCall = QStringLiteral("XX2OTH-L");
constexpr int kWaitMs = 8000;

int countOf(const PeerProcess &p, const QString &line) { return int(p.lines().count(line)); }

} // namespace

class PeerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY2(!PeerProcess::programPath().isEmpty(), "TAVRIN_ECHOLINK_PEER is not set"); }

    // Linking, chat with the answering station, station info and the end of the link.
    void linkChatAndInfo()
    {
        PeerProcess node, other;
        QVERIFY(node.start({QStringLiteral("--auto-accept"), QStringLiteral("--answer-commands")}));
        // Callsigns are sent in upper case whatever was typed.
        QVERIFY(other.start({}, kOtherCall.toLower(), kOtherAddress));

        other.send(QStringLiteral("connect 127.0.0.2 peer-l"));
        QVERIFY(node.waitFor(QStringLiteral("connected ") + kOtherCall, kWaitMs, 0));
        QVERIFY(other.waitFor(QStringLiteral("connected PEER-L"), kWaitMs, 0));
        QCOMPARE(countOf(node, QStringLiteral("incoming ") + kOtherCall), 1);

        // A frequency command is answered with that number as sent; "FR?" with the last one.
        other.send(QStringLiteral("chat FN14.2300"));
        QVERIFY(node.waitFor(QStringLiteral("chat ") + kOtherCall + QStringLiteral(">FN14.2300"), kWaitMs, 0));
        QVERIFY(other.waitFor(QStringLiteral("chat PEER-L>FN14.2300 USB"), kWaitMs, 0));
        int from = other.mark();
        other.send(QStringLiteral("chat FR?"));
        QVERIFY(other.waitFor(QStringLiteral("chat PEER-L>FN14.2300 USB"), kWaitMs, from));
        // Ordinary chat gets no answer.
        from = other.mark();
        other.send(QStringLiteral("chat hello there"));
        QVERIFY(node.waitFor(QStringLiteral("chat ") + kOtherCall + QStringLiteral(">hello there"), kWaitMs, 0));
        QTest::qWait(200);
        QVERIFY(other.waitForPrefix(QStringLiteral("chat "), 0, from) == false);

        node.send(QStringLiteral("info PEER-L 20 m beam"));
        QVERIFY(other.waitFor(QStringLiteral("info PEER-L 20 m beam"), kWaitMs, 0));

        // Either end can drop the link; both hear of it.
        other.send(QStringLiteral("disconnect"));
        QVERIFY(node.waitFor(QStringLiteral("disconnected ") + kOtherCall, kWaitMs, 0));
        QVERIFY(other.waitFor(QStringLiteral("disconnected PEER-L"), kWaitMs, 0));

        // And the same station can link again at once.
        from = node.mark();
        other.send(QStringLiteral("connect 127.0.0.2 PEER-L"));
        QVERIFY(node.waitFor(QStringLiteral("connected ") + kOtherCall, kWaitMs, from));
        QCOMPARE(node.stop(), 0);
        QVERIFY(other.waitFor(QStringLiteral("disconnected PEER-L"), kWaitMs, 0));
        QCOMPARE(other.stop(), 0);
    }

    // A tone is voice at the far end: RX on, sample counts, RX off with the total.
    void toneIsReceivedAsVoice()
    {
        PeerProcess node, other;
        QVERIFY(node.start({QStringLiteral("--auto-accept")}));
        QVERIFY(other.start({}, kOtherCall, kOtherAddress));
        other.send(QStringLiteral("connect 127.0.0.2 PEER-L"));
        QVERIFY(other.waitFor(QStringLiteral("connected PEER-L"), kWaitMs, 0));

        QElapsedTimer t;
        t.start();
        node.send(QStringLiteral("tone 600"));
        const int on = other.waitForLine([](const QString &l) { return l == QLatin1String("rx on"); }, kWaitMs, 0);
        QVERIFY(on >= 0);
        const int off = other.waitForLine([](const QString &l) { return l == QLatin1String("rx off"); }, kWaitMs, on);
        QVERIFY(off > on);
        // Sent in real time, not in one burst.
        QVERIFY2(t.elapsed() >= 500, qPrintable(QString::number(t.elapsed())));
        QVERIFY(other.waitForPrefix(QStringLiteral("audio "), kWaitMs, off));
        // 600 ms at 8 kHz, rounded up to whole voice packets.
        const qint64 total = other.lastAudioCount();
        QVERIFY2(total >= 4800 && total <= 4800 + 1280, qPrintable(QString::number(total)));

        // A second tone adds to the running total.
        node.send(QStringLiteral("tone 200"));
        const int off2 = other.waitForLine([](const QString &l) { return l == QLatin1String("rx off"); }, kWaitMs,
                                           off + 1);
        QVERIFY(off2 > off);
        QVERIFY(other.waitForPrefix(QStringLiteral("audio "), kWaitMs, off2));
        QVERIFY(other.lastAudioCount() >= total + 1600);
        QCOMPARE(node.stop(), 0);
        QCOMPARE(other.stop(), 0);
    }

    // Bad input on stdin, garbage on the wire, a refused call and a port in use: the peer says
    // so and carries on, or ends cleanly.
    void faultsAreReportedNotFatal()
    {
        PeerProcess node, other;
        QVERIFY(node.start({QStringLiteral("--refuse"), QStringLiteral("--auto-accept")}));
        QVERIFY(other.start({}, kOtherCall, kOtherAddress));

        for (const char *bad : {"bogus", "tone", "tone -5", "tone 1x", "garbage many", "connect 1.2.3 X", "chat hi"})
            other.send(QString::fromLatin1(bad));
        const QRegularExpression error(QStringLiteral("^error "));
        QTRY_COMPARE_WITH_TIMEOUT(int(other.lines().filter(error).size()), 7, kWaitMs);

        // Refused: the request is seen, never answered.
        other.send(QStringLiteral("connect 127.0.0.2 PEER-L"));
        QVERIFY(node.waitFor(QStringLiteral("incoming ") + kOtherCall, kWaitMs, 0));
        QTest::qWait(500);
        QVERIFY(!other.lines().contains(QStringLiteral("connected PEER-L")));
        QVERIFY(!node.lines().contains(QStringLiteral("connected ") + kOtherCall));

        // Random packets to both ports of a station: it stays up and still answers.
        node.send(QStringLiteral("garbage 300"));
        QTest::qWait(300);
        const int from = node.mark();
        node.send(QStringLiteral("chat nobody"));
        QVERIFY(node.waitFor(QStringLiteral("error not connected"), kWaitMs, from));
        other.send(QStringLiteral("disconnect"));

        // A second station on the same address and ports can't bind them.
        PeerProcess clash;
        QVERIFY(!clash.start({}, QString::fromLatin1(kPeerCall), QString::fromLatin1(kPeerAddress), kTestPortBase, 0));
        QVERIFY(clash.lines().value(0).startsWith(QLatin1String("error cannot bind")));
        QCOMPARE(clash.stop(), 1);

        QCOMPARE(node.stop(), 0);
        QCOMPARE(other.stop(), 0);

        // A command line it can't use: usage, exit code 2.
        QProcess bad;
        bad.start(PeerProcess::programPath(), {QStringLiteral("--bind"), QStringLiteral("127.0.0.2")});
        QVERIFY(bad.waitForFinished(5000));
        QCOMPARE(bad.exitCode(), 2);
        QVERIFY(bad.readAllStandardOutput().startsWith("error --call is required"));
    }
};

QTEST_GUILESS_MAIN(PeerTest)
#include "test_peer.moc"
