// The automation link over a scripted port: call order and threads, event delivery, a
// client that hangs, a client that goes away, failures, shutdown, and the whole program
// driven through the link.
#include "FakePort.h"

#include "core/CoreTestKit.h"
#include "echolink/automation/AutomationLink.h"

#ifdef Q_OS_WIN
#include "settings/FormLink.h"
#include "support/FakePasswordVault.h"
#endif

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

using namespace tavrin;
using namespace tavrin::test;
using tavrin::automation::AutomationClientFactory;
using tavrin::automation::AutomationLink;

namespace {

// Waits long enough that only a real fault, not a loaded machine, makes a query fall back.
AutomationLink::Options patient()
{
    AutomationLink::Options o;
    o.answerWaitMs = 5000;
    o.refreshIntervalMs = 0;
    return o;
}

struct LinkRig {
    explicit LinkRig(AutomationLink::Options options = patient())
    {
        factory = automation::makeAutomationClientFactory([s = script] { return std::make_unique<FakePort>(s); },
                                                          options);
    }
    AutomationLink &link() { return factory->link(); }

    std::shared_ptr<PortScript> script = std::make_shared<PortScript>();
    std::unique_ptr<AutomationClientFactory> factory;
};

// Every event every watched handle hears, as "handle:Event:arguments".
class EventLog : public QObject {
public:
    QStringList seen;
    bool offUiThread = false;

    void watch(EchoLinkClient *c, int index)
    {
        const QString h = QString::number(index);
        connect(c, &EchoLinkClient::ChatTextReceived, this, [=, this](const QString &t) { note(h + ":Chat:" + t); });
        connect(c, &EchoLinkClient::StationTextReceived, this, [=, this](const QString &t) { note(h + ":Station:" + t); });
        connect(c, &EchoLinkClient::RX, this, [=, this](bool on) { note(h + (on ? ":RX:on" : ":RX:off")); });
        connect(c, &EchoLinkClient::Connected, this,
                [=, this](const QString &a, const QString &b, const QString &d) { note(h + ":Connected:" + a + "," + b + "," + d); });
        connect(c, &EchoLinkClient::Closing, this, [=, this] { note(h + ":Closing"); });
    }

private:
    void note(const QString &line)
    {
        if (QThread::currentThread() != qApp->thread())
            offUiThread = true;
        seen << line;
    }
};

} // namespace

class AutomationLinkTest : public QObject {
    Q_OBJECT
private slots:
    void callsRunInOrderOnTheWorker()
    {
        LinkRig rig;
        PortScript &s = *rig.script;
        s.stationCount = 3;
        s.connected = {QStringLiteral("XX9XYZ-L")};
        s.callsign = QStringLiteral("ÄB1CD-L");

        std::unique_ptr<EchoLinkClient> a = rig.factory->create();
        std::unique_ptr<EchoLinkClient> b = rig.factory->create();
        QCOMPARE(s.get(&PortScript::opened), 1);

        a->Connect(QStringLiteral("XX9XYZ-L"), true);
        b->SetTransmit(true);
        a->SendChatText(QStringLiteral("FN14.2300 – ✓ 𝄞"));
        b->SetBusy(true);
        a->Disconnect(QStringLiteral("XX9XYZ-L"));
        b->DisconnectAll();
        a->SetTransmit(false);
        // Queries queue behind the commands, so their answers come after them.
        QVERIFY(!b->IsTransmitting());
        b->SetTransmit(true);
        QVERIFY(a->IsTransmitting());
        QCOMPARE(s.commands(), (QStringList{"Connect:XX9XYZ-L,true", "SetTransmit:true", "SendChatText:FN14.2300 – ✓ 𝄞",
                                            "SetBusy:true", "Disconnect:XX9XYZ-L", "DisconnectAll:", "SetTransmit:false",
                                            "SetTransmit:true"}));
        QCOMPARE(a->StationCount(), 3);
        QVERIFY(a->IsConnected(QStringLiteral("XX9XYZ-L")));
        QVERIFY(!a->IsConnected(QStringLiteral("XX1AB")));
        QCOMPARE(b->StationCallsign(), QStringLiteral("ÄB1CD-L"));

        // Every call ran on the port's own thread, which is not ours.
        QVERIFY(s.get(&PortScript::portThread) != QThread::currentThread());
        QCOMPARE(s.get(&PortScript::callThreads), QSet<QThread *>{s.get(&PortScript::portThread)});

        a->SetCallTimeout(kAutomationTimeoutMs);
        QCOMPARE(a->callTimeout(), kAutomationTimeoutMs);
        QCOMPARE(b->callTimeout(), 0);

        // Shutting down still runs a command queued just before (the release at the end of a
        // run), then closes, leaves and destroys the port on its thread.
        b->SetTransmit(false);
        rig.factory.reset();
        QCOMPARE(s.commands().last(), QStringLiteral("SetTransmit:false"));
        QCOMPARE(s.get(&PortScript::closed), 1);
        QCOMPARE(s.get(&PortScript::left), 1);
        QCOMPARE(s.get(&PortScript::destroyed), 1);
        QCOMPARE(s.get(&PortScript::faults), QStringList{});
        QCOMPARE(AutomationLink::workerThreadCount(), 0);
        QVERIFY_THROWS_EXCEPTION(EchoLinkError, a->SendChatText(QStringLiteral("after")));
    }

    void eventsReachEveryHandleInCreationOrder()
    {
        LinkRig rig;
        std::vector<std::unique_ptr<EchoLinkClient>> handles;
        EventLog log;
        for (int i = 0; i < 4; ++i) {
            handles.push_back(rig.factory->create());
            log.watch(handles.back().get(), i);
        }
        handles[2].reset(); // a closed window hears nothing more

        rig.script->raise([](AutomationEvents &e) {
            e.chatTextReceived("XX9XYZ-L>FN7.1450 ✓");
            e.stationTextReceived("XX9XYZ-L\nXX1AB");
            e.rx(true);
            e.connected("XX1AB", "Ann", "10.0.0.1");
            e.rx(false);
        });
        QTRY_COMPARE(log.seen.size(), 15);
        QStringList expected;
        for (const QString &event : {QStringLiteral("Chat:XX9XYZ-L>FN7.1450 ✓"), QStringLiteral("Station:XX9XYZ-L\nXX1AB"),
                                     QStringLiteral("RX:on"), QStringLiteral("Connected:XX1AB,Ann,10.0.0.1"),
                                     QStringLiteral("RX:off")})
            for (int h : {0, 1, 3})
                expected << QString::number(h) + ":" + event;
        QCOMPARE(log.seen, expected);
        QVERIFY(!log.offUiThread);
    }

    void aHungClientNeverBlocksTheUi()
    {
        AutomationLink::Options options;
        options.answerWaitMs = 100;
        options.refreshIntervalMs = 0;
        LinkRig rig(options);
        PortScript &s = *rig.script;
        s.transmitting = true;
        s.stationCount = 2;
        std::unique_ptr<EchoLinkClient> a = rig.factory->create();
        EventLog log;
        log.watch(a.get(), 0);
        // The link fills its snapshot on its own once the object is open.
        QTRY_VERIFY(s.count(QStringLiteral("StationCount")) >= 1);

        {
            QMutexLocker lock(&s.mutex);
            s.hangOn = QStringLiteral("SendChatText");
            s.whileHanging = [](AutomationEvents &e) { e.chatTextReceived("XX9XYZ-L>during the call"); };
        }
        a->SendChatText(QStringLiteral("FR?"));
        QVERIFY(s.hanging.tryAcquire(1, 5000));

        int ticks = 0;
        QTimer ui;
        connect(&ui, &QTimer::timeout, [&] { ++ticks; });
        ui.start(10);

        QElapsedTimer took;
        took.start();
        QVERIFY(a->IsTransmitting()); // from the snapshot
        QCOMPARE(a->StationCount(), 2);
        QVERIFY_THROWS_EXCEPTION(EchoLinkError, a->IsConnected(QStringLiteral("XX1NEW"))); // never asked before
        a->SendChatText(QStringLiteral("queued"));
        a->SetTransmit(false);
        QVERIFY2(took.elapsed() < 2000, "queries waited on the stuck call");

        // The event the client raised inside the waiting call arrives, and the UI ticks on.
        QTRY_COMPARE(log.seen, QStringList{"0:Chat:XX9XYZ-L>during the call"});
        QTRY_VERIFY(ticks >= 3);

        s.release.release();
        QTRY_COMPARE(s.commands(), (QStringList{"SendChatText:FR?", "SendChatText:queued", "SetTransmit:false"}));
        // The query that found no answer still ran, and its answer is kept.
        QTRY_VERIFY(s.count(QStringLiteral("IsConnected")) >= 1);
        QVERIFY(!a->IsConnected(QStringLiteral("XX1NEW")));
    }

    void aClientGoingAwayDropsTheObject()
    {
        LinkRig rig;
        PortScript &s = *rig.script;
        AutomationLink &link = rig.link();
        QSignalSpy gone(&link, &AutomationLink::clientGone);
        QSignalSpy failed(&link, &AutomationLink::commandFailed);
        std::unique_ptr<EchoLinkClient> a = rig.factory->create();
        std::unique_ptr<EchoLinkClient> b = rig.factory->create();
        EventLog log;
        log.watch(a.get(), 0);
        log.watch(b.get(), 1);

        // Closing: every handle hears it, then the object is dropped and calls fail.
        s.raise([](AutomationEvents &e) { e.closing(); });
        QTRY_COMPARE(log.seen, (QStringList{"0:Closing", "1:Closing"}));
        QTRY_COMPARE(s.get(&PortScript::closed), 1);
        QVERIFY(!link.isOpen());
        QTRY_COMPARE(gone.count(), 1);
        QVERIFY_THROWS_EXCEPTION(EchoLinkError, a->SendChatText(QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(EchoLinkError, b->IsTransmitting());

        // A later create() opens it again, and the older handles work again with it.
        std::unique_ptr<EchoLinkClient> c = rig.factory->create();
        QCOMPARE(s.get(&PortScript::opened), 2);
        a->SendChatText(QStringLiteral("back"));
        QTRY_VERIFY(s.commands().contains(QStringLiteral("SendChatText:back")));

        // The server's process vanishing, told by the port.
        s.raise([](AutomationEvents &e) { e.serverGone(); });
        QTRY_COMPARE(s.get(&PortScript::closed), 2);
        QVERIFY_THROWS_EXCEPTION(EchoLinkError, c->SetBusy(true));
        QTRY_COMPARE(gone.count(), 2);

        // A call failing with a disconnected server.
        c = rig.factory->create();
        {
            QMutexLocker lock(&s.mutex);
            s.failing.insert(QStringLiteral("SetBusy"), automation::kRpcDisconnected);
        }
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("SetBusy"));
        c->SetBusy(true);
        QTRY_COMPARE(s.get(&PortScript::closed), 3);
        QTRY_COMPARE(failed.count(), 1);
        QCOMPARE(failed.first().at(0).toString(), QStringLiteral("SetBusy"));
        QVERIFY(!link.isOpen());

        // Closing while one of our calls still waits: the handles learn at once, the object
        // is closed only after the call returns.
        {
            QMutexLocker lock(&s.mutex);
            s.failing.clear();
            s.hangOn = QStringLiteral("SendChatText");
            s.whileHanging = [](AutomationEvents &e) { e.closing(); };
        }
        c = rig.factory->create();
        c->SendChatText(QStringLiteral("slow"));
        QVERIFY(s.hanging.tryAcquire(1, 5000));
        QTRY_VERIFY(!link.isOpen());
        QVERIFY_THROWS_EXCEPTION(EchoLinkError, c->SendChatText(QStringLiteral("y")));
        QCOMPARE(s.get(&PortScript::closed), 3);
        s.release.release();
        QTRY_COMPARE(s.get(&PortScript::closed), 4);

        // While the client cannot be reached, create() fails; once it can, create() works.
        {
            QMutexLocker lock(&s.mutex);
            s.openError = QStringLiteral("class not registered");
        }
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("class not registered"));
        try {
            rig.factory->create();
            QFAIL("create() succeeded without a client");
        } catch (const EchoLinkError &e) {
            QVERIFY(QString::fromStdString(e.what()).contains(QStringLiteral("class not registered")));
        }
        {
            QMutexLocker lock(&s.mutex);
            s.openError.clear();
        }
        QVERIFY(rig.factory->create());
        QVERIFY(link.isOpen());
        QCOMPARE(s.get(&PortScript::faults), QStringList{});
    }

    void failuresAreReportedNeverLost()
    {
        LinkRig rig;
        PortScript &s = *rig.script;
        {
            QMutexLocker lock(&s.mutex);
            s.openError = QStringLiteral("no client");
        }
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no client"));
        QVERIFY_THROWS_EXCEPTION(EchoLinkError, rig.factory->create());
        QCOMPARE(s.get(&PortScript::made), 1);
        {
            QMutexLocker lock(&s.mutex);
            s.openError.clear();
            s.failing.insert(QStringLiteral("SendChatText"), qint32(0x80004005));
            s.failing.insert(QStringLiteral("StationCount"), qint32(0x80004005));
        }
        std::unique_ptr<EchoLinkClient> a = rig.factory->create();
        QSignalSpy failed(&rig.link(), &AutomationLink::commandFailed);

        // A command fails after it returned: reported, and the link carries on.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("SendChatText failed: SendChatText refused"));
        a->SendChatText(QStringLiteral("lost?"));
        a->SetBusy(false);
        QTRY_COMPARE(failed.count(), 1);
        QCOMPARE(failed.first(), (QVariantList{"SendChatText", "SendChatText refused"}));
        QTRY_VERIFY(s.commands().contains(QStringLiteral("SetBusy:false")));
        QVERIFY(rig.link().isOpen());

        // A failing query fails in the caller, with the client's reason.
        try {
            a->StationCount();
            QFAIL("a failing query answered");
        } catch (const EchoLinkError &e) {
            QCOMPARE(QString::fromStdString(e.what()), QStringLiteral("StationCount refused"));
        }
    }

    void aClientSlowToStartIsWaitedForOnce()
    {
        AutomationLink::Options options = patient();
        options.openWaitMs = 200;
        options.answerWaitMs = 100;
        LinkRig rig(options);
        PortScript &s = *rig.script;
        {
            QMutexLocker lock(&s.mutex);
            s.hangOn = QStringLiteral("open");
        }
        try {
            rig.factory->create();
            QFAIL("create() succeeded while the client was still starting");
        } catch (const EchoLinkError &e) {
            QCOMPARE(QString::fromStdString(e.what()), QString::fromLatin1(automation::kClientNoAnswer));
        }
        QVERIFY(s.hanging.tryAcquire(1, 5000));
        // The next window does not start a second attempt, nor wait out the first again.
        QElapsedTimer took;
        took.start();
        QVERIFY_THROWS_EXCEPTION(EchoLinkError, rig.factory->create());
        QVERIFY2(took.elapsed() < 2000, "create() waited for the overdue start again");

        QSignalSpy opened(&rig.link(), &AutomationLink::clientOpened);
        s.release.release();
        QTRY_VERIFY(rig.link().isOpen());
        QTRY_COMPARE(opened.count(), 1);
        std::unique_ptr<EchoLinkClient> a = rig.factory->create();
        QCOMPARE(s.get(&PortScript::opened), 1);
        a->SendChatText(QStringLiteral("late but there"));
        QTRY_COMPARE(s.commands(), QStringList{"SendChatText:late but there"});
    }

    void shutdownDoesNotWaitForAStuckClient()
    {
        AutomationLink::Options options = patient();
        options.shutdownWaitMs = 200;
        const int threadsBefore = AutomationLink::workerThreadCount();
        LinkRig rig(options);
        PortScript &s = *rig.script;
        std::unique_ptr<EchoLinkClient> a = rig.factory->create();
        {
            QMutexLocker lock(&s.mutex);
            s.hangOn = QStringLiteral("SendChatText");
        }
        a->SendChatText(QStringLiteral("stuck"));
        QVERIFY(s.hanging.tryAcquire(1, 5000));
        a->SetTransmit(false);

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("did not return"));
        QElapsedTimer took;
        took.start();
        rig.factory.reset();
        QVERIFY2(took.elapsed() < 3000, "shutdown waited for the stuck call");
        QCOMPARE(s.get(&PortScript::destroyed), 0);
        QVERIFY_THROWS_EXCEPTION(EchoLinkError, a->SendChatText(QStringLiteral("after")));

        // Should the call ever return, the worker still does what the program asked last (the
        // transmitter's release queued behind the stuck call), then closes and frees the port.
        s.release.release();
        QTRY_COMPARE(s.get(&PortScript::destroyed), 1);
        QCOMPARE(s.commands(), (QStringList{"SendChatText:stuck", "SetTransmit:false"}));
        QCOMPARE(s.get(&PortScript::closed), 1);
        QCOMPARE(s.get(&PortScript::left), 1);
        QCOMPARE(s.get(&PortScript::faults), QStringList{});
        QTRY_COMPARE(AutomationLink::workerThreadCount(), threadsBefore);
    }

    void theProgramDrivesTheClientThroughTheLink()
    {
        AutomationLink::Options options = patient();
        options.answerWaitMs = 2000;
        LinkRig link(options);
        QTemporaryDir dir;
        Rig rig(dir.path());
        rig.options.clientFactory = link.factory.get();
        QVERIFY(rig.start());
        rig.find<QTimer>(QStringLiteral("Timer3"))->stop();
        rig.find<QTimer>(QStringLiteral("Timer4"))->stop();
        QVERIFY(rig.window()->windowTitle().contains(QStringLiteral("XX1TST-L")));

        // 160 m, third preset.
        rig.find<QWidget>(QStringLiteral("Frame3"))->setVisible(true);
        rig.find<QPushButton>(QStringLiteral("Command3"))->click();
        QTRY_VERIFY(link.script->commands().contains(QStringLiteral("SendChatText:FN1.8950")));

        link.script->raise([](AutomationEvents &e) { e.chatTextReceived("XX9XYZ-L>FN7.1450"); });
        QTRY_COMPARE(rig.window()->findChild<QLineEdit *>(QStringLiteral("Text1"))->text(), QStringLiteral("7.1450"));
        QCOMPARE(link.script->get(&PortScript::faults), QStringList{});
    }

    void aMissingClientIsExplainedAtStart()
    {
        // No EchoLink client installed: the window opens, and the operator is told once why
        // nothing will reach the link and how to go on, instead of a silent "not running".
        LinkRig link;
        {
            QMutexLocker lock(&link.script->mutex);
            link.script->openError = QStringLiteral("not installed on this computer");
        }
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not installed"));
        QTemporaryDir dir;
        Rig rig(dir.path());
        rig.options.clientFactory = link.factory.get();
        rig.options.missingClientAdvice = QString::fromLatin1(automation::kMissingClientAdvice);
        QVERIFY(rig.start());
        QCOMPARE(rig.dialogs.shown.size(), 1);
        const QString text = rig.dialogs.shown.first().text;
        QVERIFY2(text.contains(QStringLiteral("not installed on this computer")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Simulated link")) && text.contains(QStringLiteral("Link Settings")),
                 qPrintable(text));
        QCOMPARE(rig.dialogs.shown.first().icon, QMessageBox::Warning);

        // With the client there, nothing is said.
        QTemporaryDir other;
        LinkRig present;
        Rig quiet(other.path());
        quiet.options.clientFactory = present.factory.get();
        quiet.options.missingClientAdvice = QString::fromLatin1(automation::kMissingClientAdvice);
        QVERIFY(quiet.start());
        QVERIFY2(quiet.dialogs.shown.isEmpty(), qPrintable(quiet.dialogs.shown.value(0).text));

#ifdef Q_OS_WIN
        // The window the advice names offers the choice of link, not station fields that the
        // client keeps and that would change nothing.
        ProfileStore store(dir.path());
        test::FakePasswordVault vault;
        link::FormLink form(store, vault);
        form.show();
        QVERIFY(!form.findChild<QWidget *>(QStringLiteral("StationFrame"))->isVisible());
        QVERIFY(form.findChild<QWidget *>(QStringLiteral("ClientIsTheStation"))->isVisible());
#endif
    }
};

QTEST_MAIN(AutomationLinkTest)
#include "test_automationlink.moc"
