// The node's answers and its transmit safety, on the test double of the link and Hamlib's
// dummy rig in-process. Every answer the node sends is read back with the panel's own
// parser, so the two sides cannot drift apart.

#include "echolink/SimulatedNode.h"
#include "node/HamlibRig.h"
#include "node/NodeService.h"
#include "node/ReceiverAudio.h"
#include "protocol/RemoteProtocol.h"
#include "support/FakeEchoLink.h"

#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <cmath>

using namespace tavrin;
using namespace tavrin::node;
using namespace tavrin::test;

namespace {

constexpr int kWaitMs = 20000;
const QString kNode = QStringLiteral("XX9ABC-L");
const QString kOperator = QStringLiteral("XX1TAV-L");
const QString kStranger = QStringLiteral("XX5BAD-L");

// Hamlib's dummy rig behind a cable that can be pulled.
class CabledRig : public Rig {
public:
    explicit CabledRig(std::shared_ptr<std::atomic<bool>> pulled) : pulled_(std::move(pulled)) {}
    void open() override { inner_.open(); }
    void close() override { inner_.close(); }
    bool isOpen() const override { return inner_.isOpen(); }
    void setFrequency(qint64 hz) override { cable().setFrequency(hz); }
    RigReading read() override { return cable().read(); }
    void setPtt(bool on) override { cable().setPtt(on); }
    bool ptt() override { return cable().ptt(); }
    std::optional<int> strength() override { return cable().strength(); }

private:
    Rig &cable()
    {
        if (*pulled_)
            throw RigError("the cable is gone");
        return inner_;
    }
    HamlibRig inner_{HamlibOptions{}};
    std::shared_ptr<std::atomic<bool>> pulled_;
};

// A rig without the 40 m band: it turns such frequencies down.
class No40mRig : public HamlibRig {
public:
    No40mRig() : HamlibRig(HamlibOptions{}) {}
    void setFrequency(qint64 hz) override
    {
        if (hz < 10'000'000)
            throw RigRefusal("the rig cannot tune there (Command rejected by the rig)");
        HamlibRig::setFrequency(hz);
    }
};

// A rig that reads and tunes but takes no PTT over its control line.
class NoCatPttRig : public HamlibRig {
public:
    NoCatPttRig() : HamlibRig(HamlibOptions{}) {}
    void setPtt(bool on) override
    {
        ++tries;
        throw RigError(std::string(on ? "keying" : "unkeying") + " the rig: the rig takes no PTT by CAT");
    }
    std::atomic<int> tries{0};
};

struct Station {
    FakeEchoLinkBackend backend;
    std::unique_ptr<EchoLinkClientFactory> factory = backend.factory();
    std::unique_ptr<EchoLinkClient> handle = factory->create();
    RigController rig;
    QStringList log;
    qint64 nowMs = 0; // the service's clock
    std::unique_ptr<NodeService> service;

    explicit Station(std::unique_ptr<Rig> r = std::make_unique<HamlibRig>(HamlibOptions{}), int startGraceMs = 30000)
        : rig(std::move(r), 10000)
    {
        NodeServiceOptions o;
        o.startGraceMs = startGraceMs;
        o.callsign = kNode;
        o.allow = {QStringLiteral("XX1TAV")};
        o.clockMs = [this] { return nowMs; };
        service = std::make_unique<NodeService>(o, *handle, rig, [this](const QString &l) { log << l; });
        service->start();
        link(kOperator);
    }
    void link(const QString &call)
    {
        backend.connected << call;
        backend.stationCount = int(backend.connected.size());
        backend.raiseConnected(call);
    }
    void unlinkAll()
    {
        backend.connected.clear();
        backend.stationCount = 0;
        service->checkLinks();
    }
    // The rig's own view, through the rig thread.
    RigOutcome ask(RigController::Job job)
    {
        std::optional<RigOutcome> got;
        rig.run(std::move(job), [&](const RigOutcome &o) { got = o; });
        if (!QTest::qWaitFor([&] { return got.has_value(); }, kWaitMs))
            qWarning("the rig thread did not answer the test");
        return got.value_or(RigOutcome{});
    }
    qint64 frequency() { return ask(&RigController::read).reading.hz; }
    bool ptt()
    {
        return ask([](Rig &r) {
                   RigOutcome o;
                   o.reading.hz = r.ptt();
                   return o;
               })
                   .reading.hz
               != 0;
    }
    void settle()
    {
        if (!QTest::qWaitFor([&] { return rig.idle(); }, kWaitMs))
            qWarning("the rig thread stayed busy");
    }
    // The chat lines sent since `from`, as the panel would see them (tagged with the node).
    QStringList sentSince(int from) const
    {
        QStringList out;
        const QStringList all = backend.sent();
        for (int i = from; i < all.size(); ++i)
            out << kNode + QLatin1Char('>') + all.at(i);
        return out;
    }
};

} // namespace

class NodeServiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Commands from an allowed operator, good and bad: each gets its answer, and only a good
    // "FN" in range moves the rig.
    void commands_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("answer"); // the start of the one line expected back
        QTest::addColumn<qint64>("hz");      // the rig's frequency afterwards
        QTest::newRow("preset") << "FN14.2350" << "XX9ABC-L>FN14.2350 " << qint64(14'235'000);
        QTest::newRow("entry line") << "FN7.0745 MHz  -  09:05:07" << "XX9ABC-L>FN7.0745 " << qint64(7'074'500);
        QTest::newRow("band edge") << "FN29.7" << "XX9ABC-L>FN29.7000 " << qint64(29'700'000);
        QTest::newRow("query") << "FR?" << "XX9ABC-L>FN14.2000 " << qint64(14'200'000);
        QTest::newRow("outside the bands") << "FN14.4000" << "XX9ABC-L>Refused FN14.4000" << qint64(14'200'000);
        QTest::newRow("broadcast band") << "FN6.0" << "XX9ABC-L>Refused FN6.0000" << qint64(14'200'000);
        QTest::newRow("no number") << "FNxyz" << "XX9ABC-L>Refused FN:" << qint64(14'200'000);
        QTest::newRow("absurd number") << "FN999999999999999999999" << "XX9ABC-L>Refused FN:" << qint64(14'200'000);
        QTest::newRow("negative") << "FN-7.1" << "XX9ABC-L>Refused FN:" << qint64(14'200'000);
        QTest::newRow("decimal comma") << "FN14,235" << "XX9ABC-L>Refused FN:" << qint64(14'200'000);
        QTest::newRow("time") << "Time?" << "XX9ABC-L>Time " << qint64(14'200'000);
        QTest::newRow("version") << "x /ver/" << "XX9ABC-L>tavrin-node  v" << qint64(14'200'000);
        QTest::newRow("not here") << "12:00:00 CPA?" << "XX9ABC-L>CPA? is not available" << qint64(14'200'000);
    }
    void commands()
    {
        QFETCH(QString, text);
        QFETCH(QString, answer);
        QFETCH(qint64, hz);
        Station s;
        s.ask(RigController::setFrequency(14'200'000));
        const int from = int(s.backend.sent().size());
        s.backend.raiseChat(kOperator + QLatin1Char('>') + text);
        QTRY_VERIFY_WITH_TIMEOUT(!s.sentSince(from).isEmpty(), kWaitMs);
        const QString line = s.sentSince(from).first();
        QVERIFY2(line.startsWith(answer), qPrintable(line));
        QCOMPARE(s.frequency(), hz);
        // A refusal is no report: the panel would show the refused frequency as the rig's.
        // It is followed by the frequency the rig stayed on, which puts right the panel that
        // already shows the one it asked for.
        if (line.contains(QLatin1String("Refused"))) {
            QVERIFY2(!remote::isFrequencyReport(line), qPrintable(line));
            // The panel's rig server reads which frequency was turned down, when one was named.
            QCOMPARE(remote::refusedFrequency(line).has_value(), !line.contains(QLatin1String("Refused FN:")));
            QTRY_COMPARE_WITH_TIMEOUT(s.sentSince(from).size(), 2, kWaitMs);
            QVERIFY2(s.sentSince(from).at(1).startsWith(kNode + QStringLiteral(">FN14.2000 ")), qPrintable(s.sentSince(from).at(1)));
        }
        s.settle();
        QCOMPARE(s.sentSince(from).size(), line.contains(QLatin1String("Refused")) ? 2 : 1);
        // A report is one the panel reads as the rig's frequency, and the simulated node
        // answers the same command with the same frequency.
        if (remote::isFrequencyReport(line)) {
            QCOMPARE(remote::frequencyReport(line).value_or(QString()),
                     remote::frequencyReport(QStringLiteral("X>FN") + QString::number(double(hz) / 1e6, 'f', 4)).value());
            if (text.startsWith(QLatin1String("FN"))) {
                SimulatedNode simulated(kNode);
                const QStringList answer = simulated.hear(text, QDateTime::currentDateTime()).lines;
                QCOMPARE(remote::frequencyReport(answer.value(0)), remote::frequencyReport(line));
            }
        }
    }

    // An operator's client in a loop: the rig is set to the first and the newest frequency
    // only, repeated reads share one answer, and the chat hears no "busy" for each line.
    void commandFloodIsCoalesced()
    {
        Station s;
        s.ask(RigController::setFrequency(14'200'000));
        const int from = int(s.backend.sent().size());
        for (int i = 0; i < 60; ++i)
            s.backend.raiseChat(kOperator + QStringLiteral(">FN14.%1 FR?").arg(100 + i));
        s.settle();
        const QStringList sent = s.sentSince(from);
        QVERIFY2(sent.size() <= 2, qPrintable(sent.join(QLatin1Char('|'))));
        QVERIFY2(sent.last().startsWith(kNode + QStringLiteral(">FN14.1590")), qPrintable(sent.last()));
        QCOMPARE(s.frequency(), qint64(14'159'000));
    }

    // The cable pulled mid-session: the command's answer and the fault are one chat line, and
    // the chat hears when the rig answers again.
    void rigFaultIsSaidOnce()
    {
        {
            // Silent past the start-up grace: a fault after all.
            auto gone = std::make_shared<std::atomic<bool>>(true);
            Station late(std::make_unique<CabledRig>(gone), 1);
            QTRY_VERIFY_WITH_TIMEOUT(late.log.contains(QStringLiteral("rig fault: the cable is gone")), kWaitMs);
            QCOMPARE(late.backend.sent(), QStringList{QStringLiteral("Rig fault: the cable is gone")});
        }
        auto pulled = std::make_shared<std::atomic<bool>>(false);
        Station s(std::make_unique<CabledRig>(pulled));
        s.settle();
        const int from = int(s.backend.sent().size());
        *pulled = true;
        s.backend.raiseChat(kOperator + QStringLiteral(">FN14.1000"));
        s.settle();
        QCOMPARE(s.sentSince(from), QStringList{kNode + QStringLiteral(">Rig fault: the cable is gone")});
        s.link(QStringLiteral("XX1TAV-R")); // an operator linking now hears it too
        QCOMPARE(s.sentSince(from).size(), 2);
        QCOMPARE(s.sentSince(from).last(), kNode + QStringLiteral(">Rig fault: the cable is gone"));
        *pulled = false;
        s.service->pollRig();
        s.settle();
        QCOMPARE(s.sentSince(from).last(), kNode + QStringLiteral(">Rig is answering again"));

        // A stop whose unkey fails is no clean stop: the program must say so.
        *pulled = true;
        std::optional<QString> notReleased;
        s.service->stop([&](bool released, const QString &error) { notReleased = released ? QString() : error; });
        QTRY_VERIFY_WITH_TIMEOUT(notReleased.has_value(), kWaitMs);
        QCOMPARE(*notReleased, QStringLiteral("the cable is gone"));
    }

    // A frequency inside the node's ranges that the rig itself turns down is refused in the
    // chat; it is no rig fault and does not cut the operator's over.
    void frequencyTheRigRefuses()
    {
        Station s(std::make_unique<No40mRig>());
        s.ask(RigController::setFrequency(14'200'000));
        s.service->pollRig();
        s.settle();
        s.backend.raiseRx(true);
        QTRY_VERIFY_WITH_TIMEOUT(s.ptt(), kWaitMs);
        const int from = int(s.backend.sent().size());
        s.backend.raiseChat(kOperator + QStringLiteral(">FN7.1000"));
        s.settle();
        QCOMPARE(s.sentSince(from).size(), 2);
        QCOMPARE(s.sentSince(from).first(),
                 kNode + QStringLiteral(">Refused FN7.1000: the rig cannot tune there (Command rejected by the rig)"));
        QVERIFY(s.sentSince(from).last().startsWith(kNode + QStringLiteral(">FN14.2000 ")));
        QVERIFY(s.ptt());
        QCOMPARE(s.frequency(), qint64(14'200'000));
    }

    // Turned at the rig's own knob: the panels hear the new frequency at the next poll, once,
    // and only while somebody is linked to hear it.
    void knobAtTheRigIsReported()
    {
        Station s;
        s.settle();
        s.service->pollRig();
        s.settle();
        const int from = int(s.backend.sent().size());
        s.ask(RigController::setFrequency(7'123'400));
        s.service->pollRig();
        s.settle();
        s.service->pollRig();
        s.settle();
        const QStringList sent = s.sentSince(from);
        QCOMPARE(sent.size(), 1);
        QCOMPARE(remote::frequencyReport(sent.first()), QStringLiteral("7.1234"));

        s.unlinkAll();
        s.ask(RigController::setFrequency(14'100'000));
        s.service->pollRig();
        s.settle();
        QCOMPARE(s.sentSince(from).size(), 1);
    }

    // A rig that answers everything but PTT: the chat hears of it once, and the node neither
    // retries the keying at each poll of the same over nor alternates fault and recovery.
    void rigWithoutCatPttIsNotRetried()
    {
        auto rig = std::make_unique<NoCatPttRig>();
        NoCatPttRig *raw = rig.get();
        Station s(std::move(rig));
        s.ask(RigController::setFrequency(14'200'000));
        s.service->pollRig();
        s.settle();
        const int from = int(s.backend.sent().size());
        const int triesBefore = raw->tries;
        s.backend.raiseRx(true);
        s.settle();
        for (int i = 0; i < 4; ++i) {
            s.service->pollRig();
            s.settle();
        }
        const QStringList sent = s.sentSince(from);
        QVERIFY2(sent.size() <= 4, qPrintable(sent.join(QLatin1Char('|'))));
        QVERIFY2(raw->tries - triesBefore <= 2, qPrintable(QString::number(raw->tries - triesBefore)));
    }

    // The rig cannot be reached when the node starts, and comes back keyed (a crash left it
    // so): the unkey the start owed it follows as soon as it answers. So does one that failed
    // mid-over (rigctld restarted under the node while it was keyed).
    void unkeyWaitsForTheRig()
    {
        auto pulled = std::make_shared<std::atomic<bool>>(true);
        Station s(std::make_unique<CabledRig>(pulled));
        s.settle();
        // A rig still coming up at the start (rigctld opening it) is waited for, not a fault.
        QVERIFY2(s.log.filter(QStringLiteral("rig fault")).isEmpty(), qPrintable(s.log.join(QLatin1Char('|'))));
        QVERIFY(s.backend.sent().filter(QStringLiteral("fault")).isEmpty());
        *pulled = false;
        s.ask(RigController::setPtt(true));
        QTRY_VERIFY_WITH_TIMEOUT(!s.ptt(), kWaitMs);
        QVERIFY(s.backend.sent().filter(QStringLiteral("again")).isEmpty());

        s.ask(RigController::setFrequency(14'200'000));
        s.service->pollRig();
        s.settle();
        s.backend.raiseRx(true);
        QTRY_VERIFY_WITH_TIMEOUT(s.ptt(), kWaitMs);
        *pulled = true;
        s.service->pollRig();
        s.settle();
        QVERIFY(!s.service->keyed());
        s.backend.raiseRx(false); // the over ends while the rig is away
        s.settle();
        *pulled = false;
        s.service->pollRig();
        QTRY_VERIFY_WITH_TIMEOUT(!s.ptt(), kWaitMs);
    }

    // Strangers, free chat, our own echo, a 64 KiB line and binary junk: nothing moves; a
    // stranger's commands get one short refusal, however many it sends.
    void nothingMovesTheRigButAnAllowedCommand()
    {
        Station s;
        s.link(kStranger);
        s.ask(RigController::setFrequency(14'200'000));
        const int from = int(s.backend.sent().size());
        for (int i = 0; i < 20; ++i)
            s.backend.raiseChat(kStranger + QStringLiteral(">FN7.1000"));
        // Nor is the refusal of a station that calls itself like a frequency.
        s.link(QStringLiteral("FN7.1000"));
        s.backend.raiseChat(QStringLiteral("FN7.1000>FR?"));
        s.backend.raiseChat(kOperator + QStringLiteral(">hello, how is the band?"));
        s.backend.raiseChat(kNode + QStringLiteral(">FN7.1000"));
        s.backend.raiseChat(kOperator + QStringLiteral(">FN7.1") + QString(64 * 1024, QLatin1Char('9')));
        s.backend.raiseChat(QStringLiteral("FN7.1000 without a sender"));
        s.backend.raiseChat(kOperator + QLatin1Char('>') + QString::fromLatin1(QByteArray(4096, '\xff')));
        s.settle();
        QCOMPARE(s.sentSince(from), (QStringList{kNode + QStringLiteral(">Refused: XX5BAD-L may not control this node"),
                                                 kNode + QStringLiteral(">Refused: FN7.1000 may not control this node")}));
        for (const QString &line : s.sentSince(from))
            QVERIFY(!remote::isFrequencyReport(line));
        // A linked peer that makes up a new name for every line: three refusals in the chat a
        // minute, the rest logged with a count; the stranger that really is linked still hears
        // its own when it links again, and the names remembered are the newest only.
        const auto forged = [&](int from, int count) {
            const int before = int(s.backend.sent().size());
            for (int i = from; i < from + count; ++i)
                s.backend.raiseChat(QStringLiteral("XX%1FAKE>FR?").arg(i));
            return int(s.backend.sent().size()) - before;
        };
        QCOMPARE(forged(0, 50), 3);
        QVERIFY(s.log.last().endsWith(QLatin1String("not said in the chat (47 held back from the links this minute)")));
        s.link(kStranger);
        s.backend.raiseChat(kStranger + QStringLiteral(">FR?"));
        QCOMPARE(s.backend.sent().last(), QStringLiteral("Refused: XX5BAD-L may not control this node"));
        for (int i = 100; i < 100 + NodeService::kMaxRefusedRemembered; ++i) {
            s.nowMs += NodeService::kRefusalWindowMs;
            QCOMPARE(forged(i, 1), 1);
        }
        QCOMPARE(forged(0, 1), 1);
        // What strangers write reaches the log without a control character.
        QCOMPARE(printableLogLine(QStringLiteral("from XX5BAD\x1b]0;x\x07\r\nforged\u0085 line")),
                 QStringLiteral("from XX5BAD?]0;x?  forged  line"));
        QCOMPARE(s.frequency(), qint64(14'200'000));
    }

    // Keyed only while an allowed operator's voice arrives on an allowed frequency; unkeyed
    // by the end of the voice, the time-out, a listener joining, the link dropping, a
    // frequency moved out of range at the rig, and the stop.
    void transmitterSafety()
    {
        Station s;
        s.ask(RigController::setFrequency(14'200'000));
        s.service->pollRig();
        s.settle();
        s.backend.raiseRx(true);
        QTRY_VERIFY_WITH_TIMEOUT(s.ptt(), kWaitMs);
        s.backend.raiseRx(false);
        QTRY_VERIFY_WITH_TIMEOUT(!s.ptt(), kWaitMs);

        s.backend.raiseRx(true);
        QTRY_VERIFY_WITH_TIMEOUT(s.ptt(), kWaitMs);
        const int from = int(s.backend.sent().size());
        s.service->transmitTimedOut();
        QTRY_VERIFY_WITH_TIMEOUT(!s.ptt(), kWaitMs);
        QVERIFY(s.sentSince(from).value(0).contains(QLatin1String("Transmit time-out after 180 s")));
        s.backend.raiseRx(true); // still the same over: stays unkeyed
        s.settle();
        QVERIFY(!s.ptt());
        s.backend.raiseRx(false);
        s.backend.raiseRx(true);
        QTRY_VERIFY_WITH_TIMEOUT(s.ptt(), kWaitMs);

        // While the rig stays unkeyed the operator hears why, once.
        const auto said = [&](const QString &why) {
            return s.backend.sent().filter(QStringLiteral("Not transmitting: ") + why).size();
        };
        s.link(kStranger);
        QTRY_VERIFY_WITH_TIMEOUT(!s.ptt(), kWaitMs);
        QCOMPARE(said(QStringLiteral("XX5BAD-L is linked and may not control this node")), 1);
        s.backend.connected.remove(kStranger);
        s.service->checkLinks();
        QTRY_VERIFY_WITH_TIMEOUT(s.ptt(), kWaitMs);

        s.ask(RigController::setFrequency(14'400'000)); // moved at the rig
        s.service->pollRig();
        QTRY_VERIFY_WITH_TIMEOUT(!s.ptt(), kWaitMs);
        s.service->pollRig();
        s.settle();
        QCOMPARE(said(QStringLiteral("14.4000 MHz is outside the frequency ranges of this node")), 1);
        s.ask(RigController::setFrequency(14'300'000));
        s.service->pollRig();
        QTRY_VERIFY_WITH_TIMEOUT(s.ptt(), kWaitMs);

        s.unlinkAll();
        QTRY_VERIFY_WITH_TIMEOUT(!s.ptt(), kWaitMs);
        s.link(kOperator);
        QTRY_VERIFY_WITH_TIMEOUT(s.ptt(), kWaitMs);

        bool stopped = false;
        s.service->stop([&](bool released, const QString &) { stopped = released; });
        QTRY_VERIFY_WITH_TIMEOUT(stopped, kWaitMs);
        QVERIFY(!s.ptt());
        s.backend.raiseRx(true);
        s.settle();
        QVERIFY(!s.ptt());
    }

    // The rig's received audio goes over the link while the squelch is open, and not while
    // an operator asked for the channel (" CPT?", until the signal ends), talks, or after
    // the link is gone.
    void receiverAudioFollowsTheSquelch()
    {
        Station s;
        const auto sendingNow = [&] {
            const QList<FakeCall> calls = s.backend.callsOf(QStringLiteral("SetTransmit"));
            return !calls.isEmpty() && calls.last().argument == QLatin1String("true");
        };
        s.service->receiverSquelch(true);
        QVERIFY(sendingNow());
        s.backend.raiseChat(kOperator + QStringLiteral(">12:00:00 CPT?"));
        QVERIFY(!sendingNow());
        s.service->receiverSquelch(true);
        QVERIFY(!sendingNow());
        s.service->receiverSquelch(false);
        s.service->receiverSquelch(true);
        QVERIFY(sendingNow());
        s.backend.raiseRx(true);
        QVERIFY(!sendingNow());
        s.backend.raiseRx(false);
        QVERIFY(sendingNow());
        s.unlinkAll();
        QVERIFY(!sendingNow());
    }

    // The squelch opens on a real signal through the capture path and closes after its hang
    // time once the signal is gone.
    void squelchOpensAndHangs()
    {
        bool loud = true;
        qint64 n = 0;
        ReceiverAudio audio(QString(), -30, 200, [](const QString &) {}, [&](int samples) {
            QByteArray pcm(samples * 2, '\0');
            auto *p = reinterpret_cast<qint16 *>(pcm.data());
            for (int i = 0; i < samples && loud; ++i, ++n)
                p[i] = qint16(8000.0 * std::sin(double(n) * 0.3));
            return pcm;
        });
        QSignalSpy changes(&audio, &ReceiverAudio::squelchChanged);
        audio.start();
        QTRY_VERIFY_WITH_TIMEOUT(audio.isOpen(), kWaitMs);
        loud = false;
        QTRY_VERIFY_WITH_TIMEOUT(!audio.isOpen(), kWaitMs);
        QCOMPARE(changes.count(), 2);

        Squelch sq(-40, 500);
        QVERIFY(!sq.feed(-50, 0));
        QVERIFY(sq.feed(-40, 10));
        QVERIFY(sq.feed(-90, 509));
        QVERIFY(sq.feed(-20, 600));
        QVERIFY(sq.feed(-90, 1099));
        QVERIFY(!sq.feed(-90, 1100));
    }
};

QTEST_GUILESS_MAIN(NodeServiceTest)
#include "test_node_service.moc"
