// The two programs end to end (see NodeEndToEnd.h): presets, read-back, keying, unlinking,
// the time-out and the allow-list.

#include "NodeEndToEnd.h"

#include <QUdpSocket>

using namespace tavrin;
using namespace tavrin::test;


extern "C" const char *__lsan_default_suppressions();
extern "C" __attribute__((used)) const char *__lsan_default_suppressions() { return "leak:libecholib\n"; }

class NodeEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A preset press tunes the rig and the display shows the node's report; a change made
    // at the rig shows after "What Frequency ?"; keying keys the rig and unlinking unkeys
    // it; SIGTERM stops the node cleanly.
    void panelDrivesTheRig()
    {
        if (!Rigctld::available())
            QSKIP("rigctld not installed (libhamlib-utils)");
        EndToEnd e;
        e.start("XX1TAV");
        if (QTest::currentTestFailed())
            return;

        e.find<QPushButton>("Command1")->click(); // FN1.8500
        QTRY_COMPARE_WITH_TIMEOUT(e.rigHz(), qint64(1'850'000), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(e.text("Label4"), QStringLiteral("1.8500"), kWaitMs);

        e.rig->setFrequency(7'123'400);
        e.program->mainWindow()->findChild<QAction *>(QStringLiteral("FreqReq"))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(e.text("Label4"), QStringLiteral("7.1234"), kWaitMs);

        auto *transmit = e.find<QPushButton>("Command1x");
        QTRY_COMPARE_WITH_TIMEOUT(e.text("NumStations"), QStringLiteral("1"), kWaitMs);
        transmit->click();
        QCOMPARE(e.text("Label3"), QStringLiteral("Transmitting"));
        QTRY_VERIFY_WITH_TIMEOUT(e.rig->ptt(), kWaitMs);
        transmit->click();
        QTRY_VERIFY_WITH_TIMEOUT(!e.rig->ptt(), kWaitMs);

        transmit->click();
        QTRY_VERIFY_WITH_TIMEOUT(e.rig->ptt(), kWaitMs);
        e.find<QPushButton>("Command72")->click(); // Disconnect All
        QTRY_VERIFY_WITH_TIMEOUT(!e.rig->ptt(), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(e.node.logSays(kLocalCall + QStringLiteral(" unlinked")), kWaitMs);

        QCOMPARE(e.node.stop(), 0);
        QVERIFY(e.node.logSays(QStringLiteral("stopped")));
        QVERIFY(!e.rig->ptt());
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

    // An operator not on the allow-list: the preset changes nothing and keying stays off.
    void strangerChangesNothing()
    {
        if (!Rigctld::available())
            QSKIP("rigctld not installed (libhamlib-utils)");
        EndToEnd e;
        e.start("XX7OTH");
        if (QTest::currentTestFailed())
            return;
        e.find<QPushButton>("Command1")->click();
        QTRY_VERIFY_WITH_TIMEOUT(e.node.logSays(QStringLiteral("refused a command from ") + kLocalCall), kWaitMs);
        auto *transmit = e.find<QPushButton>("Command1x");
        transmit->click();
        QTest::qWait(1500); // long enough for a keying to have shown, if there were one
        QVERIFY(!e.rig->ptt());
        transmit->click();
        QCOMPARE(e.rigHz(), qint64(14'200'000));
        QVERIFY(!e.node.logSays(QStringLiteral("\nkeying the rig")));

        // A chat packet from Tavrin's address that claims to come from the allowed station
        // speaks in Tavrin's name all the same.
        QUdpSocket forger;
        QVERIFY(forger.bind(kTavrinAddress, 0));
        forger.writeDatagram("oNDATAXX7OTH>FN7.1000\r\n", QHostAddress(QString::fromLatin1(kNodeAddress)), kPortBase);
        const QString refusal = QStringLiteral("refused a command from ") + kLocalCall;
        QTRY_VERIFY_WITH_TIMEOUT(e.node.log().count(refusal) == 2 || e.node.logSays(QStringLiteral("command from XX7OTH")),
                                 kWaitMs);
        QVERIFY(!e.node.logSays(QStringLiteral("command from XX7OTH")));
        QCOMPARE(e.rigHz(), qint64(14'200'000));
    }
};

QTEST_MAIN(NodeEndToEndTest)
#include "test_node_e2e.moc"
