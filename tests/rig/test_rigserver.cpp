// The rig server in the whole program, over real loopback sockets, with the test double
// standing in for the EchoLink client.
#include "core/CoreTestKit.h"

#include "core/CommandPanels.h"
#include "core/FrequencyController.h"
#include "core/ProtocolController.h"
#include "core/RigControl.h"
#include "rig/RigServer.h"
#include "core/RigService.h"
#include "rig/RigWindow.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

using namespace tavrin;
using namespace tavrin::test;

namespace {

constexpr char kNode[] = "XX9XYZ-L";

// One rig client on a loopback socket.
class RigClient {
public:
    explicit RigClient(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        connected = socket.waitForConnected(3000);
    }

    // Sends one line and waits for a reply of `lines` lines.
    QByteArray ask(const QByteArray &line, int lines = 1)
    {
        socket.write(line + '\n');
        QByteArray got;
        (void)QTest::qWaitFor(
            [&] {
                got += socket.readAll();
                return got.count('\n') >= lines || socket.state() != QAbstractSocket::ConnectedState;
            },
            3000);
        return got;
    }

    bool closedByServer()
    {
        return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, 3000);
    }

    QTcpSocket socket;
    bool connected = false;
};

// Runs the event loop until `done` holds (or 60 s pass). Unlike QTest::qWaitFor it does not
// sleep between passes, so the server's queued turns follow each other at full speed.
template <class Done>
bool runUntil(Done done)
{
    QEventLoop loop;
    QTimer check;
    check.setInterval(1);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (done())
        return true;
    check.start();
    limit.start(60000);
    loop.exec();
    return done();
}

} // namespace

class RigServerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<Rig> rig_;

    rig::RigService &service() { return *rig_->program().rigService(); }
    quint16 port() { return service().server().port(); }
    QString status() { return rig_->find<QLabel>(QStringLiteral("StatusLine"))->text(); }
    QStringList sent() { return rig_->backend.sent(); }

    void startWith(bool allowPtt)
    {
        dir_ = std::make_unique<QTemporaryDir>();
        rig_ = std::make_unique<Rig>(dir_->path());
        rig_->backend.stationCount = 1;
        QVERIFY(rig_->start());
        rig::RigSettings s;
        s.enabled = true;
        s.port = 0; // any free port
        s.allowPtt = allowPtt;
        service().apply(s);
        QVERIFY(service().server().isListening());
        rig_->window()->Timer3_Timer(); // NumStations from the client
        // Ticked by hand from here: the fake client does not track the transmitter, so a real
        // supervision tick during a wait (a busy machine) would read it as released.
        rig_->window()->timer(3)->stop();
        rig_->backend.clearCalls();
    }

private slots:
    void cleanup()
    {
        rig_.reset();
        dir_.reset();
    }

    void offAndLoopbackByDefault()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        rig_ = std::make_unique<Rig>(dir_->path());
        QVERIFY(rig_->start());
        QVERIFY(!service().server().isListening());

        // A wider address in the file without the explicit choice stays on this computer.
        rig::RigSettings s;
        s.enabled = true;
        s.port = 0;
        s.address = QStringLiteral("0.0.0.0");
        service().apply(s);
        QVERIFY(service().server().isListening());
        QTcpSocket other;
        const QList<QHostAddress> mine = {QHostAddress(QStringLiteral("127.0.0.2"))};
        // 127.0.0.2 is loopback too, but not the address we listen on.
        other.connectToHost(mine.first(), port());
        QVERIFY(!other.waitForConnected(1000));
    }

    void frequencyThroughTheEnterPath()
    {
        startWith(false);
        RigClient c(port());
        QVERIFY(c.connected);
        rig_->backend.raiseChat(QStringLiteral("XX9XYZ-L>FN14.2300 USB"));
        QCOMPARE(c.ask("f"), QByteArray("14230000\n"));

        QCOMPARE(c.ask("F 14074055"), QByteArray("RPRT 0\n"));
        QCOMPARE(sent(), QStringList{QStringLiteral("FN14.0740 MHz  -  09:05:07")});
        QCOMPARE(rig_->find<QLineEdit>(QStringLiteral("Text1"))->text(), QStringLiteral("14.0740"));
        QCOMPARE(rig_->find<QLabel>(QStringLiteral("Label4"))->text(), QStringLiteral("14.0740"));
        // The commanded frequency until the node confirms it; polls never cost a chat line.
        QCOMPARE(c.ask("f"), QByteArray("14074000\n"));
        // WSJT-X's check: 55 Hz above, read back, restore. Nothing goes to the node.
        QCOMPARE(c.ask("F 14074055"), QByteArray("RPRT 0\n"));
        QCOMPARE(c.ask("f"), QByteArray("14074000\n"));
        QCOMPARE(c.ask("F 14074000"), QByteArray("RPRT 0\n"));
        QCOMPARE(sent().size(), 1);

        rig_->backend.raiseChat(QStringLiteral("XX9XYZ-L>FN14.0740 USB"));
        QVERIFY(!service().control().state().hasPending());
        QCOMPARE(c.ask("f"), QByteArray("14074000\n"));

        QCOMPARE(c.ask("F 50313000"), QByteArray("RPRT -1\n"));
        QCOMPARE(sent().size(), 1);

        // A send that fails is no success, and leaves nothing pending.
        rig_->backend.failing.insert(QStringLiteral("SendChatText"));
        QCOMPARE(c.ask("F 7074000"), QByteArray("RPRT -6\n"));
        QCOMPARE(c.ask("f"), QByteArray("14074000\n"));

        // The operator tunes from the panel after a client did: clients read what the panel
        // shows, also when the node's report of the client's frequency comes in late.
        rig_->backend.failing.clear();
        QCOMPARE(c.ask("F 7074000"), QByteArray("RPRT 0\n"));
        QVERIFY(rig_->window()->frequencyControl().sendFrequency(QStringLiteral("21.2")));
        QCOMPARE(c.ask("f"), QByteArray("21200000\n"));
        rig_->backend.raiseChat(QStringLiteral("XX9XYZ-L>FN7.0740 LSB"));
        QCOMPARE(rig_->find<QLineEdit>(QStringLiteral("Text1"))->text(), QStringLiteral("21.2000"));
        QCOMPARE(c.ask("f"), QByteArray("21200000\n"));
        // So does a user button that holds a frequency command.
        rig_->program().registry().control<QLineEdit>(QStringLiteral("Form1"), QStringLiteral("Text12a"))->insert(QStringLiteral("FN18.1000"));
        rig_->find<QPushButton>(QStringLiteral("Command92"))->click();
        QCOMPARE(c.ask("f"), QByteArray("18100000\n"));
    }

    // The node turns the frequency down and says where the rig stayed: clients read that at
    // once, as the panel shows it, not the refused one until the wait for a report is over.
    void frequencyRefusedByTheNode()
    {
        startWith(false);
        RigClient c(port());
        rig_->backend.raiseChat(QStringLiteral("XX9XYZ-L>FN14.2300 USB"));
        QCOMPARE(c.ask("F 14400000"), QByteArray("RPRT 0\n"));
        rig_->backend.raiseChat(QStringLiteral("XX9XYZ-L>Refused FN7.0000: outside the frequency ranges of this node"));
        QCOMPARE(c.ask("f"), QByteArray("14400000\n"));
        rig_->backend.raiseChat(QStringLiteral("XX9XYZ-L>Refused FN14.4000: outside the frequency ranges of this node"));
        rig_->backend.raiseChat(QStringLiteral("XX9XYZ-L>FN14.2300 USB"));
        QCOMPARE(rig_->find<QLabel>(QStringLiteral("Label4"))->text(), QStringLiteral("14.2300"));
        QCOMPARE(c.ask("f"), QByteArray("14230000\n"));
    }

    void frequencyFloodIsThinnedOut()
    {
        startWith(true);
        RigClient c(port());
        QTimer *pace = service().control().actionTimer();
        pace->setInterval(3600 * 1000); // its turns are given by hand below
        // A client in a loop: every command is answered, but only a burst reaches the chat.
        QByteArray flood;
        for (int i = 0; i < 40; ++i)
            flood += "F " + QByteArray::number(14'000'000 + i * 1000) + '\n';
        flood.chop(1);
        QCOMPARE(c.ask(flood, 40), QByteArray("RPRT 0\n").repeated(40));
        QCOMPARE(sent().size(), rig::kActionBurst);
        QCOMPARE(c.ask("f"), QByteArray("14039000\n"));
        // Nor does it chatter the transmitter.
        QCOMPARE(c.ask("T 1"), QByteArray("RPRT -9\n"));
        QVERIFY(rig_->backend.callsOf(QStringLiteral("SetTransmit")).isEmpty());
        // Its next turn sends the newest frequency alone.
        pace->start(0);
        QTRY_COMPARE(sent().size(), rig::kActionBurst + 1);
        QVERIFY2(sent().last().startsWith(QStringLiteral("FN14.0390 MHz")), qPrintable(sent().last()));

        // A frequency waiting for its turn is dropped when the operator tunes from the panel
        // meanwhile: the client's older wish must not undo the panel's.
        QTRY_VERIFY(!pace->isActive()); // the burst is back
        pace->setInterval(3600 * 1000);
        QCOMPARE(c.ask(flood, 40), QByteArray("RPRT 0\n").repeated(40));
        QVERIFY(rig_->window()->frequencyControl().sendFrequency(QStringLiteral("21.2")));
        const qsizetype lines = sent().size();
        QSignalSpy turn(pace, &QTimer::timeout);
        pace->start(0);
        QVERIFY(turn.wait());
        QCOMPARE(sent().size(), lines);
        QCOMPARE(c.ask("f"), QByteArray("21200000\n"));
    }

    void modeFromReports()
    {
        startWith(false);
        RigClient c(port());
        QCOMPARE(c.ask("m", 2), QByteArray("USB\n2400\n"));
        rig_->backend.raiseChat(QStringLiteral("XX9XYZ-L>FN7.0740 LSB"));
        QCOMPARE(c.ask("m", 2), QByteArray("LSB\n2400\n"));
        QCOMPARE(c.ask("M LSB 0"), QByteArray("RPRT 0\n"));
        QCOMPARE(c.ask("M USB 0"), QByteArray("RPRT -11\n"));
        // A report without a mode word keeps the mode.
        rig_->backend.raiseChat(QStringLiteral("XX9XYZ-L>FN7.0750"));
        QCOMPARE(c.ask("m", 2), QByteArray("LSB\n2400\n"));
        QCOMPARE(c.ask("f"), QByteArray("7075000\n"));
        QVERIFY(sent().isEmpty());
    }

    void pttRefusedUnlessAllowed()
    {
        startWith(false);
        RigClient c(port());
        QCOMPARE(c.ask("T 1"), QByteArray("RPRT -11\n"));
        QCOMPARE(c.ask("T 0"), QByteArray("RPRT 0\n"));
        QVERIFY(rig_->backend.callsOf(QStringLiteral("SetTransmit")).isEmpty());
        QVERIFY(!rig_->window()->station().transmitting());
    }

    void pttKeysLikeTheButton()
    {
        startWith(true);
        RigClient c(port());
        QCOMPARE(c.ask("T 3"), QByteArray("RPRT 0\n"));
        QCOMPARE(rig_->backend.callsOf(QStringLiteral("SetTransmit")).size(), 1);
        QVERIFY(rig_->window()->station().transmitting());
        QCOMPARE(rig_->window()->commandPanels().transmitState->text(), QStringLiteral("Transmitting"));
        QCOMPARE(c.ask("t"), QByteArray("1\n"));
        QVERIFY(service().control().pttTimer()->isActive());
        QCOMPARE(service().control().pttTimer()->interval(), 180000);
        // A repeated key-up changes nothing (the button would release).
        QCOMPARE(c.ask("T 1"), QByteArray("RPRT 0\n"));
        QCOMPARE(rig_->backend.callsOf(QStringLiteral("SetTransmit")).size(), 1);
        QCOMPARE(c.ask("T 0"), QByteArray("RPRT 0\n"));
        QCOMPARE(rig_->backend.callsOf(QStringLiteral("SetTransmit")).last().argument, QStringLiteral("false"));
        QVERIFY(!rig_->window()->station().transmitting());
        QVERIFY(!service().control().pttTimer()->isActive());

        // No station connected: the button does nothing, and the client hears so.
        rig_->backend.stationCount = 0;
        rig_->window()->Timer3_Timer();
        QCOMPARE(c.ask("T 1"), QByteArray("RPRT -9\n"));
        QVERIFY(!rig_->window()->station().transmitting());
    }

    void pttWhileTheLinkIsBusyAsksFirst()
    {
        startWith(true);
        RigClient c(port());
        rig_->backend.raiseRx(true);
        QCOMPARE(c.ask("T 1"), QByteArray("RPRT 0\n"));
        QCOMPARE(sent(), QStringList{QStringLiteral("09:05:07 CPT?")});
        QVERIFY(rig_->window()->timer(7)->isActive());
        QVERIFY(!rig_->window()->station().transmitting());
        // While the request waits, another key-up asks nothing more.
        QCOMPARE(c.ask("T 1"), QByteArray("RPRT 0\n"));
        QCOMPARE(sent().size(), 1);

        rig_->backend.raiseRx(false);
        rig_->window()->Timer7_Timer();
        QVERIFY(rig_->window()->station().transmitting());
        QCOMPARE(service().control().pttOwner() != 0, true);

        // The keying client goes away: released, and the status line says why.
        c.socket.disconnectFromHost();
        QTRY_VERIFY(!rig_->window()->station().transmitting());
        QCOMPARE(rig_->backend.callsOf(QStringLiteral("SetTransmit")).last().argument, QStringLiteral("false"));
        QCOMPARE(status(), QString::fromLatin1(rig::kReleasedOnClose));
    }

    void pttTimeOutAndOtherClients()
    {
        startWith(true);
        RigClient keyer(port());
        RigClient other(port());
        QCOMPARE(keyer.ask("T 1"), QByteArray("RPRT 0\n"));
        // Every client sees the one state; another client leaving releases nothing.
        QCOMPARE(other.ask("t"), QByteArray("1\n"));
        other.socket.disconnectFromHost();
        QTRY_COMPARE(service().server().clientCount(), 1);
        QVERIFY(rig_->window()->station().transmitting());

        service().control().RigPttTimer_Timer();
        QVERIFY(!rig_->window()->station().transmitting());
        QCOMPARE(status(), QString::fromLatin1(rig::kReleasedOnTimeout).arg(180));
        QCOMPARE(keyer.ask("t"), QByteArray("0\n"));

        // Released by the operator: the server lets go, and a later disconnect touches nothing.
        QCOMPARE(keyer.ask("T 1"), QByteArray("RPRT 0\n"));
        rig_->window()->protocol().Command1x_Click();
        QVERIFY(!rig_->window()->station().transmitting());
        QMetaObject::invokeMethod(rig_->window()->timer(3), "timeout"); // the supervision tick
        QCOMPARE(service().control().pttOwner(), 0);
        rig_->window()->protocol().Command1x_Click(); // the operator keys
        const qsizetype calls = rig_->backend.callsOf(QStringLiteral("SetTransmit")).size();
        keyer.socket.disconnectFromHost();
        QTRY_COMPARE(service().server().clientCount(), 0);
        QVERIFY(rig_->window()->station().transmitting());
        QCOMPARE(rig_->backend.callsOf(QStringLiteral("SetTransmit")).size(), calls);
    }

    void connectionsSurviveGarbageButNotFloods()
    {
        startWith(false);
        RigClient c(port());
        QCOMPARE(c.ask(QByteArray("\x01\x02\xfe garbage")), QByteArray("RPRT -1\n"));
        QCOMPARE(c.ask("\\get_lock_mode"), QByteArray("0\n"));
        // Several lines in one packet are answered in order, whatever their line ends.
        QCOMPARE(c.ask("v\nt", 2), QByteArray("VFOA\n0\n"));
        QCOMPARE(c.ask("v\rt\r", 2), QByteArray("VFOA\n0\n"));
        c.socket.write("t\r");
        QCOMPARE(c.ask("v", 2), QByteArray("0\nVFOA\n"));
        // An argument on a later line, as rigctld takes it; the other clients are served
        // while the command waits for it.
        c.socket.write("\\set_freq\n\n");
        {
            RigClient other(port());
            QCOMPARE(other.ask("v"), QByteArray("VFOA\n"));
        }
        QCOMPARE(c.ask("7074000 f", 2), QByteArray("RPRT 0\n7074000\n"));

        RigClient flood(port());
        flood.socket.write(QByteArray(2000, 'x'));
        QVERIFY(flood.closedByServer());
        QCOMPARE(c.ask("v"), QByteArray("VFOA\n"));

        QCOMPARE(c.ask("q"), QByteArray("RPRT 0\n"));
        QVERIFY(c.closedByServer());
        QTRY_COMPARE(service().server().clientCount(), 0);
    }

    void connectionStormIsCapped()
    {
        startWith(false);
        std::vector<std::unique_ptr<RigClient>> clients;
        for (int i = 1; i <= rig::RigServer::kMaxClients; ++i) {
            clients.push_back(std::make_unique<RigClient>(port()));
            QVERIFY(runUntil([&] { return service().server().clientCount() == i; }));
        }
        QCOMPARE(clients.back()->ask("v"), QByteArray("VFOA\n"));
        RigClient extra(port());
        QVERIFY(extra.closedByServer());
        QCOMPARE(service().server().clientCount(), rig::RigServer::kMaxClients);
        QCOMPARE(clients.front()->ask("v"), QByteArray("VFOA\n"));
        // Room again once one leaves.
        clients.front()->socket.disconnectFromHost();
        QTRY_COMPARE(service().server().clientCount(), rig::RigServer::kMaxClients - 1);
        RigClient later(port());
        QCOMPARE(later.ask("v"), QByteArray("VFOA\n"));
    }

    void takenPortIsTriedAgainOnSave()
    {
        startWith(false);
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::LocalHost, 0));
        rig::RigSettings s = service().settings();
        s.port = squatter.serverPort();
        service().apply(s);
        QVERIFY(!service().server().isListening());
        QVERIFY2(status().startsWith(QStringLiteral("Rig server: could not listen")), qPrintable(status()));
        // The port comes free; saving the same settings again listens.
        squatter.close();
        service().apply(s);
        QVERIFY(service().server().isListening());
        QCOMPARE(service().server().port(), s.port);
        QCOMPARE(status(), QString()); // the failure went with it
    }

    void halfCloseGetsEveryAnswer()
    {
        startWith(false);
        rig_->backend.raiseChat(QStringLiteral("XX9XYZ-L>FN14.2300 USB"));
        // As `printf 'f\n' | nc`: the commands, then at once the end of input. Every complete
        // line is answered before the server closes; the unfinished last one is not.
        const QList<QPair<QByteArray, QByteArray>> cases = {
            {"f\n", "14230000\n"},
            {"f\nv\n\\chk_vfo\n\\dump_state\nt", "14230000\nVFOA\n0\n" + rig::dumpStateText()},
        };
        for (const auto &[input, expected] : cases) {
            QTcpSocket c;
            c.connectToHost(QHostAddress::LocalHost, port());
            QVERIFY(c.waitForConnected(3000));
            c.write(input);
            QVERIFY(c.waitForBytesWritten(3000));
            QCOMPARE(::shutdown(int(c.socketDescriptor()), SHUT_WR), 0);
            QByteArray got;
            QVERIFY(QTest::qWaitFor(
                [&] {
                    got += c.readAll();
                    return c.state() == QAbstractSocket::UnconnectedState;
                },
                5000));
            got += c.readAll();
            QCOMPARE(got, expected);
        }
    }

    void clientThatDoesNotReadIsHeldBack()
    {
        startWith(false);
        rig_->backend.raiseChat(QStringLiteral("XX9XYZ-L>FN14.2300 USB"));
        // Pipelines far more \dump_state than the network can hold, and reads nothing.
        constexpr int kCommands = 8000;
        QTcpSocket hog;
        hog.setReadBufferSize(1);
        hog.connectToHost(QHostAddress::LocalHost, port());
        QVERIFY(hog.waitForConnected(3000));
        QVERIFY(runUntil([&] { return service().server().clientCount() == 1; }));
        // The network's share stays small whatever this machine's buffer sizes are.
        for (QTcpSocket *s : service().server().findChildren<QTcpSocket *>())
            s->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 32 * 1024);
        hog.write(QByteArray("\\dump_state\n").repeated(kCommands));

        // The server stops answering once the replies back up; what it keeps stays small.
        const qint64 reply = rig::dumpStateText(false).size();
        qint64 mostUnsent = 0;
        const auto unsent = [&] {
            qint64 now = 0;
            for (QTcpSocket *s : service().server().findChildren<QTcpSocket *>())
                now = std::max(now, s->bytesToWrite());
            mostUnsent = std::max(mostUnsent, now);
            return now;
        };
        QVERIFY(runUntil([&] { return unsent() > 0; }));
        int passes = 0;
        runUntil([&] { return unsent() < 0 || ++passes > 50; });
        QVERIFY2(mostUnsent <= rig::RigServer::kMaxUnsentBytes + reply, qPrintable(QString::number(mostUnsent)));

        // Meanwhile another client is served.
        RigClient other(port());
        QCOMPARE(other.ask("f"), QByteArray("14230000\n"));

        // Once it reads, it gets every answer.
        hog.setReadBufferSize(0);
        qint64 received = 0;
        runUntil([&] {
            received += hog.readAll().size();
            unsent();
            return received >= kCommands * reply;
        });
        QCOMPARE(received, kCommands * reply);
        QVERIFY(mostUnsent <= rig::RigServer::kMaxUnsentBytes + reply);
    }

    void formRigWindow()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        rig_ = std::make_unique<Rig>(dir_->path());
        QVERIFY(rig_->start());
        rig_->trigger(QStringLiteral("RigServer"));
        QWidget *w = rig_->program().registry().window(QStringLiteral("FormRig"));
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Rig Server"));
        auto *enabled = w->findChild<QCheckBox *>(QStringLiteral("RigEnabled"));
        auto *address = w->findChild<QLineEdit *>(QStringLiteral("RigAddress"));
        auto *remote = w->findChild<QCheckBox *>(QStringLiteral("RigAllowRemote"));
        auto *portBox = w->findChild<QSpinBox *>(QStringLiteral("RigPort"));
        auto *ptt = w->findChild<QCheckBox *>(QStringLiteral("RigAllowPTT"));
        auto *timeout = w->findChild<QSpinBox *>(QStringLiteral("RigPTTTimeout"));
        auto *save = w->findChild<QPushButton *>(QStringLiteral("RigSave"));
        auto *line = w->findChild<QLabel *>(QStringLiteral("StatusLine"));
        QVERIFY(enabled && address && remote && portBox && ptt && timeout && save && line);
        QVERIFY(!enabled->isChecked());
        QCOMPARE(address->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(portBox->value(), 4532);
        QVERIFY(!ptt->isChecked());
        QCOMPARE(timeout->value(), 180);
        QCOMPARE(line->text(), QString::fromLatin1(rig::kOff));
        // Each access key reaches one control: a second "&o" would only move the focus between the two.
        QSet<QChar> keys;
        for (QWidget *c : w->findChildren<QWidget *>()) {
            auto *b = qobject_cast<QAbstractButton *>(c);
            auto *l = qobject_cast<QLabel *>(c);
            const QString t = b ? b->text() : (l && l->buddy()) ? l->text() : QString();
            const qsizetype i = t.indexOf(QLatin1Char('&'));
            if (i < 0 || i + 1 >= t.size())
                continue;
            const QChar key = t.at(i + 1).toLower();
            QVERIFY2(!keys.contains(key), qPrintable(t));
            keys.insert(key);
        }

        // Another address needs the explicit choice; nothing is saved without it.
        enabled->setChecked(true);
        address->setText(QStringLiteral("0.0.0.0"));
        save->click();
        QVERIFY(!QFile::exists(dir_->filePath(QStringLiteral("TVRrig.ini"))));
        QVERIFY(line->text().contains(QStringLiteral("Accept connections from other computers")));

        // Unsaved edits are dropped on close.
        w->close();
        QVERIFY(!w->isVisible());
        QVERIFY(!enabled->isChecked());
        QCOMPARE(address->text(), QStringLiteral("127.0.0.1"));

        // Saved: written and applied at once.
        enabled->setChecked(true);
        ptt->setChecked(true);
        timeout->setValue(60);
        portBox->setValue(45999);
        save->click();
        const QString file = readFile(dir_->filePath(QStringLiteral("TVRrig.ini")));
        QVERIFY(file.contains(QStringLiteral("Enabled=True")));
        QVERIFY(file.contains(QStringLiteral("AllowPTT=True")));
        QVERIFY(file.contains(QStringLiteral("PTTTimeout=60")));
        if (service().server().isListening()) {
            QCOMPARE(service().server().port(), quint16(45999));
            QVERIFY(line->text().startsWith(QStringLiteral("Listening on 127.0.0.1 port 45999")));
        } else {
            QVERIFY(line->text().startsWith(QStringLiteral("Rig server: could not listen")));
        }
    }
};

QTEST_MAIN(RigServerTest)
#include "test_rigserver.moc"
