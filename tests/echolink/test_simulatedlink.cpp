#include "echolink/SimulatedLink.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace tavrin;

namespace {

const QString kLocal = QStringLiteral("XX1TVR-L");
const QString kOther = QStringLiteral("XX1ABC-L");
const QString kNode = QStringLiteral("XX9XYZ-L");
constexpr int kPatienceMs = 5000;

// Every event a handle hears, as "Kind:args", oldest first.
class EventLog : public QObject {
public:
    void attach(EchoLinkClient *c, const QString &tag = {})
    {
        const QString p = tag.isEmpty() ? QString() : tag + QLatin1Char(' ');
        connect(c, &EchoLinkClient::ChatTextReceived, this, [=, this](const QString &t) { events << p + "Chat:" + t; });
        connect(c, &EchoLinkClient::StationTextReceived, this,
                [=, this](const QString &t) { events << p + "Stations:" + t; });
        connect(c, &EchoLinkClient::RX, this, [=, this](bool on) { events << p + (on ? "RX:on" : "RX:off"); });
        connect(c, &EchoLinkClient::Connected, this,
                [=, this](const QString &call, const QString &, const QString &) { events << p + "Connected:" + call; });
        connect(c, &EchoLinkClient::Closing, this, [=, this] { events << p + "Closing"; });
    }
    QStringList chats() const
    {
        QStringList out;
        for (const QString &e : events)
            if (e.startsWith(QLatin1String("Chat:")))
                out << e.mid(5);
        return out;
    }
    QStringList events;
};

SimulatedLink::Options quietOptions()
{
    SimulatedLink::Options o;
    o.backgroundActivity = false;
    o.replyDelayMs = 100;
    return o;
}

} // namespace

class TestSimulatedLink : public QObject {
    Q_OBJECT
private slots:
    void linkingAndStationCount();
    void unknownStationFails();
    void twoProgramsSeeEachOthersLines();
    void nodeAnswersCommands_data();
    void nodeAnswersCommands();
    void nodeAnswersOnlyWhenLinked();
    void quietNodeAnswersNothing();
    void transmitRequestEndsNodeTransmission();
    void eventsNeverInsideTheCall();
    void transmitRules();
    void eventsInHandleCreationOrder();
    void closingReachesOneStation();
    void handlesOutlivingTheLinkFail();
    void backgroundIsDeterministicUnderSeed();
};

void TestSimulatedLink::linkingAndStationCount()
{
    SimulatedLink link(quietOptions());
    auto h = link.factoryFor(kLocal)->create();
    EventLog log;
    log.attach(h.get());

    QCOMPARE(h->StationCallsign(), kLocal);
    QCOMPARE(h->StationCount(), 0);
    h->Connect(QStringLiteral("xx9xyz-l"), true);
    QCOMPARE(h->StationCount(), 1);
    QVERIFY(h->IsConnected(kNode));
    QVERIFY(h->IsConnected(QStringLiteral("Xx9XyZ-l")));
    QVERIFY(!h->IsConnected(QStringLiteral("XX2ABC")));
    QTRY_COMPARE_WITH_TIMEOUT(log.events,
                              (QStringList{"Connected:XX9XYZ-L", "Stations:XX9XYZ-L  HF Remote Node"}), kPatienceMs);

    // Linking again changes nothing and raises nothing.
    h->Connect(kNode, true);
    h->Connect(QStringLiteral("XX2ABC"), true);
    QCOMPARE(h->StationCount(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(log.events.size(), 4, kPatienceMs);
    QCOMPARE(log.events.at(2), QStringLiteral("Connected:XX2ABC"));
    QCOMPARE(log.events.at(3), QStringLiteral("Stations:XX9XYZ-L  HF Remote Node\rXX2ABC  Alan"));

    h->Disconnect(QStringLiteral("xx9xyz-l"));
    QCOMPARE(h->StationCount(), 1);
    QVERIFY(!h->IsConnected(kNode));
    QTRY_COMPARE_WITH_TIMEOUT(log.events.size(), 5, kPatienceMs);
    QCOMPARE(log.events.at(4), QStringLiteral("Stations:XX2ABC  Alan"));

    // A handle made while linked (a window started after the link came up) hears the list
    // at once; the others hear nothing new.
    auto late = link.factoryFor(kLocal)->create();
    EventLog lateLog;
    lateLog.attach(late.get());
    QTRY_COMPARE_WITH_TIMEOUT(lateLog.events, QStringList{"Stations:XX2ABC  Alan"}, kPatienceMs);
    QCOMPARE(log.events.size(), 5);

    h->Disconnect(kNode); // not linked: nothing happens
    h->DisconnectAll();
    QCOMPARE(h->StationCount(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(log.events.size(), 6, kPatienceMs);
    QCOMPARE(log.events.at(5), QStringLiteral("Stations:"));

    // The directory offers the node, the neighbours and every local station.
    const QStringList dir = link.directory();
    QVERIFY(dir.contains(kNode));
    QVERIFY(dir.contains(kLocal));
    QVERIFY(dir.contains(QStringLiteral("XX3DEF-R")));
}

void TestSimulatedLink::unknownStationFails()
{
    SimulatedLink link(quietOptions());
    auto h = link.factoryFor(kLocal)->create();
    try {
        h->Connect(QStringLiteral("NOSUCH"), true);
        QFAIL("Connect to an unknown station succeeded");
    } catch (const EchoLinkError &e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Station not found: NOSUCH"));
    }
    QVERIFY_THROWS_EXCEPTION(EchoLinkError, h->Connect(kLocal, true));
    QCOMPARE(h->StationCount(), 0);

    // A station made known by a scenario control can then be linked.
    link.linkStation(kLocal, QStringLiteral("XX8NEW"));
    QVERIFY(h->IsConnected(QStringLiteral("xx8new")));
    QVERIFY(link.directory().contains(QStringLiteral("XX8NEW")));
}

void TestSimulatedLink::twoProgramsSeeEachOthersLines()
{
    SimulatedLink link(quietOptions());
    auto a1 = link.factoryFor(kLocal)->create();
    auto a2 = link.factoryFor(kLocal)->create();
    auto b = link.factoryFor(kOther)->create();
    EventLog logA1, logA2, logB;
    logA1.attach(a1.get());
    logA2.attach(a2.get());
    logB.attach(b.get());

    a1->SendChatText(QStringLiteral("hello"));
    a2->SendChatText(QStringLiteral("second"));
    QTRY_COMPARE_WITH_TIMEOUT(logB.chats(), (QStringList{"XX1TVR-L>hello", "XX1TVR-L>second"}), kPatienceMs);
    // The reply from B is queued behind anything A could have heard of its own lines.
    b->SendChatText(QStringLiteral("copy"));
    QTRY_COMPARE_WITH_TIMEOUT(logA1.chats(), QStringList{"XX1ABC-L>copy"}, kPatienceMs);
    QCOMPARE(logA2.chats(), QStringList{"XX1ABC-L>copy"});
    QCOMPARE(logB.chats().size(), 2);

    QCOMPARE(link.sentLines(kLocal), (QStringList{"hello", "second"}));
    QCOMPARE(link.sentLines(QStringLiteral("xx1abc-l")), QStringList{"copy"});
    QVERIFY(link.sentLines(QStringLiteral("XX0NONE")).isEmpty());

    // Two local programs linked to each other: both ends see the link come and go.
    logB.events.clear();
    a1->Connect(QStringLiteral("xx1abc-l"), true);
    QVERIFY(b->IsConnected(kLocal));
    QCOMPARE(b->StationCount(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(logB.events.contains(QStringLiteral("Connected:XX1TVR-L")), kPatienceMs);
    b->DisconnectAll();
    QCOMPARE(a1->StationCount(), 0);
}

void TestSimulatedLink::nodeAnswersCommands_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("frequency");
    QTest::newRow("FN with trailing text") << "FN14.2350 MHz  -  09:05:07" << "XX9XYZ-L>FN14.2350 USB" << "14.2350";
    QTest::newRow("FN with time prefix") << "(09:05) >FN7.1" << "XX9XYZ-L>FN7.1000 LSB" << "7.1000";
    QTest::newRow("FR?") << "FR?" << "XX9XYZ-L>FN14.2300 USB" << "14.2300";
    QTest::newRow("Time?") << "Time?" << "XX9XYZ-L>Time 14:05:09" << "14.2300";
    QTest::newRow("CVSA? not CV?") << "14:05:09 CVSA?" << "XX9XYZ-L>Squelch active" << "14.2300";
    QTest::newRow("CV?") << "14:05:09 CV?" << "XX9XYZ-L>Voice announcements OFF" << "14.2300";
}

void TestSimulatedLink::nodeAnswersCommands()
{
    QFETCH(QString, line);
    QFETCH(QString, reply);
    QFETCH(QString, frequency);
    ManualClock clock(QDateTime(QDate(2024, 3, 9), QTime(14, 5, 9)));
    SimulatedLink::Options o = quietOptions();
    o.clock = &clock;
    SimulatedLink link(o);
    link.linkStation(kLocal, kNode);
    auto h = link.factoryFor(kLocal)->create();
    EventLog log;
    log.attach(h.get());

    h->SendChatText(line);
    QTRY_COMPARE_WITH_TIMEOUT(log.chats(), QStringList{reply}, kPatienceMs);
    QCOMPARE(link.nodeFrequency(), frequency);
    QCOMPARE(link.nodeMode(), frequency.toDouble() < 10 ? QStringLiteral("LSB") : QStringLiteral("USB"));
}

void TestSimulatedLink::nodeAnswersOnlyWhenLinked()
{
    SimulatedLink link(quietOptions());
    auto a = link.factoryFor(kLocal)->create();
    auto b = link.factoryFor(kOther)->create();
    EventLog logA, logB;
    logA.attach(a.get());
    logB.attach(b.get());
    b->Connect(kNode, true);

    // A is not linked to the node: the node ignores it, but B (linked) hears A's line.
    a->SendChatText(QStringLiteral("FN7.2000"));
    a->SendChatText(QStringLiteral("marker"));
    QTRY_VERIFY_WITH_TIMEOUT(logB.chats().contains(QStringLiteral("XX1TVR-L>marker")), kPatienceMs);
    QCOMPARE(logB.chats(), (QStringList{"XX1TVR-L>FN7.2000", "XX1TVR-L>marker"}));
    QCOMPARE(link.nodeFrequency(), QStringLiteral("14.2300"));

    // B's command is answered to every local station linked to the node, not to A.
    b->SendChatText(QStringLiteral("FR?"));
    QTRY_VERIFY_WITH_TIMEOUT(logB.chats().contains(QStringLiteral("XX9XYZ-L>FN14.2300 USB")), kPatienceMs);
    QTRY_VERIFY_WITH_TIMEOUT(logA.chats().contains(QStringLiteral("XX1ABC-L>FR?")), kPatienceMs);
    QVERIFY(!logA.chats().join('\n').contains(QStringLiteral("XX9XYZ-L>")));
}

void TestSimulatedLink::quietNodeAnswersNothing()
{
    SimulatedLink link(quietOptions());
    link.linkStation(kLocal, kNode);
    link.linkStation(kOther, kNode);
    auto a = link.factoryFor(kLocal)->create();
    auto b = link.factoryFor(kOther)->create();
    EventLog logB;
    logB.attach(b.get());
    link.setNodeQuiet(true);

    a->SendChatText(QStringLiteral("FN7.1000"));
    a->SendChatText(QStringLiteral("FR?"));
    a->SendChatText(QStringLiteral("marker"));
    QTRY_VERIFY_WITH_TIMEOUT(logB.chats().contains(QStringLiteral("XX1TVR-L>marker")), kPatienceMs);
    QCOMPARE(logB.chats(), (QStringList{"XX1TVR-L>FN7.1000", "XX1TVR-L>FR?", "XX1TVR-L>marker"}));
    QCOMPARE(link.nodeFrequency(), QStringLiteral("14.2300"));

    link.setNodeQuiet(false);
    a->SendChatText(QStringLiteral("FR?"));
    QTRY_VERIFY_WITH_TIMEOUT(logB.chats().contains(QStringLiteral("XX9XYZ-L>FN14.2300 USB")), kPatienceMs);
}

void TestSimulatedLink::transmitRequestEndsNodeTransmission()
{
    SimulatedLink link(quietOptions());
    link.linkStation(kLocal, kNode);
    auto h = link.factoryFor(kLocal)->create();
    EventLog log;
    log.attach(h.get());
    link.raiseRx(kLocal, true);
    QTRY_VERIFY_WITH_TIMEOUT(log.events.contains(QStringLiteral("RX:on")), kPatienceMs);

    QElapsedTimer since;
    since.start();
    h->SendChatText(QStringLiteral("14:05:09 CPT?"));
    QTRY_VERIFY_WITH_TIMEOUT(log.events.contains(QStringLiteral("RX:off")), kPatienceMs);
    QVERIFY2(since.elapsed() < 1000, qPrintable(QString::number(since.elapsed())));

    // Not keyed any more: a second request raises nothing.
    log.events.clear();
    h->SendChatText(QStringLiteral("14:05:10 CPT?"));
    h->SendChatText(QStringLiteral("FR?"));
    QTRY_VERIFY_WITH_TIMEOUT(!log.chats().isEmpty(), kPatienceMs);
    QCOMPARE(log.events, QStringList{"Chat:XX9XYZ-L>FN14.2300 USB"});
}

void TestSimulatedLink::eventsNeverInsideTheCall()
{
    SimulatedLink::Options o = quietOptions();
    o.replyDelayMs = 10; // raised to the floor of 100 ms
    SimulatedLink link(o);
    auto h = link.factoryFor(kLocal)->create();
    EventLog log;
    log.attach(h.get());

    QElapsedTimer since;
    since.start();
    h->Connect(kNode, true);
    QVERIFY(log.events.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(log.events.size(), 2, kPatienceMs);
    QVERIFY2(since.elapsed() >= 100, qPrintable(QString::number(since.elapsed())));

    log.events.clear();
    since.restart();
    h->SendChatText(QStringLiteral("FR?"));
    QVERIFY(log.events.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(log.events.size(), 1, kPatienceMs);
    QVERIFY2(since.elapsed() >= 100, qPrintable(QString::number(since.elapsed())));

    // Test controls are queued too.
    log.events.clear();
    link.raiseChat(kLocal, QStringLiteral("XX2ABC>hi"));
    link.raiseRx(kLocal, true);
    link.raiseConnected(kLocal, QStringLiteral("XX2ABC"));
    link.raiseStationText(kLocal, QStringLiteral("list"));
    QVERIFY(log.events.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(log.events,
                              (QStringList{"Chat:XX2ABC>hi", "RX:on", "Connected:XX2ABC", "Stations:list"}),
                              kPatienceMs);
}

void TestSimulatedLink::transmitRules()
{
    SimulatedLink link(quietOptions());
    auto h = link.factoryFor(kLocal)->create();
    auto other = link.factoryFor(kLocal)->create();

    h->SetTransmit(true); // nobody linked: nothing to key
    QVERIFY(!h->IsTransmitting());
    h->Connect(kNode, true);
    h->SetTransmit(true);
    QVERIFY(h->IsTransmitting());
    QVERIFY(other->IsTransmitting()); // one station, seen by every handle
    h->SetTransmit(false);
    QVERIFY(!h->IsTransmitting());

    h->Connect(QStringLiteral("XX2ABC"), true);
    h->SetTransmit(true);
    h->Disconnect(kNode);
    QVERIFY(h->IsTransmitting()); // still one linked
    h->Disconnect(QStringLiteral("XX2ABC"));
    QVERIFY(!h->IsTransmitting());

    h->Connect(kNode, true);
    h->SetTransmit(true);
    link.unlinkStation(kLocal, kNode);
    QVERIFY(!h->IsTransmitting());

    link.setTransmitting(kLocal, true);
    QVERIFY(h->IsTransmitting());
    link.setTransmitting(kLocal, false);
    QVERIFY(!h->IsTransmitting());

    // Busy and time-out settings are accepted and change nothing else.
    h->SetBusy(true);
    h->SetCallTimeout(kAutomationTimeoutMs);
    QCOMPARE(h->callTimeout(), kAutomationTimeoutMs);
    QCOMPARE(other->callTimeout(), 0);
}

void TestSimulatedLink::eventsInHandleCreationOrder()
{
    SimulatedLink link(quietOptions());
    auto factory = link.factoryFor(kLocal);
    auto h1 = factory->create();
    auto h2 = factory->create();
    auto h3 = factory->create();
    EventLog log; // one shared log: the order of entries is the delivery order
    log.attach(h3.get(), "3");
    log.attach(h1.get(), "1");
    log.attach(h2.get(), "2");

    link.raiseChat(kLocal, QStringLiteral("x"));
    QTRY_COMPARE_WITH_TIMEOUT(log.events, (QStringList{"1 Chat:x", "2 Chat:x", "3 Chat:x"}), kPatienceMs);

    // A destroyed handle detaches; one destroyed by an earlier handler never hears it.
    log.events.clear();
    h2.reset();
    QObject::connect(h1.get(), &EchoLinkClient::RX, h1.get(), [&] { h3.reset(); });
    link.raiseRx(kLocal, true);
    QTRY_COMPARE_WITH_TIMEOUT(log.events, QStringList{"1 RX:on"}, kPatienceMs);
    QVERIFY(!h3);
    h1->Connect(kNode, true);
    QTRY_COMPARE_WITH_TIMEOUT(log.events.size(), 3, kPatienceMs);
}

void TestSimulatedLink::closingReachesOneStation()
{
    SimulatedLink link(quietOptions());
    auto a1 = link.factoryFor(kLocal)->create();
    auto a2 = link.factoryFor(kLocal)->create();
    auto b = link.factoryFor(kOther)->create();
    QSignalSpy s1(a1.get(), &EchoLinkClient::Closing), s2(a2.get(), &EchoLinkClient::Closing),
        sb(b.get(), &EchoLinkClient::Closing), sbChat(b.get(), &EchoLinkClient::ChatTextReceived);

    link.raiseClosing(kLocal);
    link.raiseChat(kOther, QStringLiteral("after"));
    QTRY_COMPARE_WITH_TIMEOUT(sbChat.count(), 1, kPatienceMs);
    QCOMPARE(s1.count(), 1);
    QCOMPARE(s2.count(), 1);
    QCOMPARE(sb.count(), 0);
}

void TestSimulatedLink::handlesOutlivingTheLinkFail()
{
    auto link = std::make_unique<SimulatedLink>(quietOptions());
    auto factory = link->factoryFor(kLocal);
    auto h = factory->create();
    h->Connect(kNode, true);
    link.reset(); // pending events are dropped with it
    QVERIFY_THROWS_EXCEPTION(EchoLinkError, h->StationCount());
    QVERIFY_THROWS_EXCEPTION(EchoLinkError, h->SendChatText(QStringLiteral("FR?")));
    QVERIFY_THROWS_EXCEPTION(EchoLinkError, factory->create());
    h.reset();
}

void TestSimulatedLink::backgroundIsDeterministicUnderSeed()
{
    constexpr int kEvents = 60;
    const QDateTime start(QDate(2024, 3, 9), QTime(14, 5, 0));
    ManualClock clock(start);
    struct Run {
        std::unique_ptr<SimulatedLink> link;
        std::unique_ptr<EchoLinkClient> handle;
        EventLog log;
    };
    auto makeRun = [&](quint32 seed) {
        auto run = std::make_unique<Run>();
        SimulatedLink::Options o;
        o.seed = seed;
        o.clock = &clock;
        o.backgroundActivity = false;
        o.replyDelayMs = 100;
        o.activityPeriodMs = 100;
        run->link = std::make_unique<SimulatedLink>(o);
        run->link->linkStation(kLocal, kNode);
        run->handle = run->link->factoryFor(kLocal)->create();
        run->log.attach(run->handle.get());
        run->link->setBackgroundActivity(true);
        return run;
    };
    auto first = makeRun(7);
    auto second = makeRun(7);
    auto other = makeRun(8);
    auto done = [&](const Run &r) { return r.log.events.size() >= kEvents + 2; };
    QTRY_VERIFY_WITH_TIMEOUT(done(*first) && done(*second) && done(*other), 60000);

    const QStringList a = first->log.events.mid(0, kEvents + 2);
    QCOMPARE(second->log.events.mid(0, kEvents + 2), a);
    QVERIFY(other->log.events.mid(0, kEvents + 2) != a);

    // Believable: the node keys up and drops again, neighbours come and speak, and a
    // line for the local sysop has the marker form.
    const QStringList all = a + other->log.events.mid(0, kEvents + 2);
    QVERIFY(all.contains(QStringLiteral("RX:on")));
    QVERIFY(all.contains(QStringLiteral("RX:off")));
    QVERIFY(all.filter(QRegularExpression("^Connected:X+\\d")).size() > 0);
    const QRegularExpression sysop("^Chat:X+\\d[A-Z]+(-[RL])?>\\*\\*XX1TVR-L\\*\\* please call me on \\d+ m$");
    QVERIFY(!all.filter(sysop).isEmpty());
    for (const QString &e : all)
        if (e.startsWith(QLatin1String("Chat:")))
            QVERIFY2(e.mid(5).contains(QRegularExpression("^X+\\d[A-Z]+(-[RL])?>.+")), qPrintable(e));
    // The node never keys twice without dropping in between.
    bool keyed = false;
    for (const QString &e : a) {
        if (e == QLatin1String("RX:on")) {
            QVERIFY(!keyed);
            keyed = true;
        } else if (e == QLatin1String("RX:off")) {
            QVERIFY(keyed);
            keyed = false;
        }
    }

    // A quiet node never keys up.
    first->link->setNodeQuiet(true);
    first->log.events.clear();
    QTRY_VERIFY_WITH_TIMEOUT(first->log.events.size() >= 20, 60000);
    QVERIFY(!first->log.events.contains(QStringLiteral("RX:on")));
}

QTEST_GUILESS_MAIN(TestSimulatedLink)
#include "test_simulatedlink.moc"
