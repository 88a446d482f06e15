// The rig through Hamlib: its dummy rig in-process, a real rigctld for the network path, and
// the rig thread's watchdog against a rigctld that hangs (stopped) or vanishes (killed).

#include "Rigctld.h"

#include "node/HamlibRig.h"
#include "node/RigController.h"

#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <limits>

using namespace tavrin::node;
using namespace tavrin::test;

namespace {

constexpr int kWaitMs = 20000;

// Runs one job through the controller and waits for its outcome.
RigOutcome runAndWait(RigController &controller, RigController::Job job, bool mustRun = false)
{
    std::optional<RigOutcome> got;
    controller.run(std::move(job), [&](const RigOutcome &o) { got = o; }, mustRun);
    if (!QTest::qWaitFor([&] { return got.has_value(); }, kWaitMs)) {
        RigOutcome none;
        none.error = QStringLiteral("no outcome in the test's wait");
        return none;
    }
    return *got;
}

RigOutcome readPtt(Rig &rig)
{
    RigOutcome o;
    o.reading.hz = rig.ptt() ? 1 : 0;
    return o;
}

HamlibOptions network(const Rigctld &daemon, int timeoutMs = 2000)
{
    HamlibOptions o;
    o.model = 2;
    o.port = daemon.address();
    o.timeoutMs = timeoutMs;
    return o;
}

// A rig that only counts its unkeys, and shows what its S-meter is set to.
class CountingRig : public Rig {
public:
    explicit CountingRig(std::shared_ptr<std::atomic<int>> unkeys) : unkeys_(std::move(unkeys)) {}
    void open() override {}
    void close() override {}
    bool isOpen() const override { return true; }
    void setFrequency(qint64) override {}
    RigReading read() override { return {}; }
    void setPtt(bool on) override { *unkeys_ += on ? 0 : 1; }
    bool ptt() override { return false; }
    std::optional<int> strength() override { return meter; }
    std::optional<int> meter;

private:
    std::shared_ptr<std::atomic<int>> unkeys_;
};

} // namespace

class NodeRigTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Frequency set and read back, PTT on and off, through the in-process dummy rig and
    // through rigctld; an unknown model, a closed port, a missing or wrong serial device and
    // a rig that takes no CAT keying fail with a message that says why, not a crash.
    void dummyRigInProcessAndOverTheNetwork()
    {
        std::vector<std::unique_ptr<HamlibRig>> rigs;
        rigs.push_back(std::make_unique<HamlibRig>(HamlibOptions{}));
        Rigctld daemon;
        if (Rigctld::available()) {
            QVERIFY(daemon.start());
            rigs.push_back(std::make_unique<HamlibRig>(network(daemon)));
        }
        for (auto &rig : rigs) {
            rig->setFrequency(7'074'000);
            QCOMPARE(rig->read().hz, qint64(7'074'000));
            rig->setPtt(true);
            QVERIFY(rig->ptt());
            rig->setPtt(false);
            QVERIFY(!rig->ptt());
        }
        if (rigs.size() > 1) {
            // rigctld passes on what any client told it, and answers "nan" or 1e30 as -2^63:
            // a reading that is no frequency is a rig fault, never a frequency to report.
            rigs.back()->setFrequency(-14'230'000);
            QVERIFY_THROWS_EXCEPTION(RigError, rigs.back()->read());
        }
        // Nor is an S-meter figure past what any meter shows ("S9+2147483647").
        CountingRig meter(std::make_shared<std::atomic<int>>(0));
        for (const int db : {std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
            meter.meter = db;
            QVERIFY_THROWS_EXCEPTION(RigError, RigController::strength(meter));
        }
        meter.meter = 60;
        QCOMPARE(RigController::strength(meter).strength, std::optional<int>(60));

        HamlibOptions unknown;
        unknown.model = 999999;
        HamlibRig noSuchModel(unknown);
        QVERIFY_THROWS_EXCEPTION(RigError, noSuchModel.open());
        HamlibOptions closed;
        closed.model = 2;
        closed.port = QStringLiteral("127.0.0.1:1");
        closed.timeoutMs = 500;
        try {
            HamlibRig(closed).read();
            QFAIL("a closed port answered");
        } catch (const RigError &e) {
            QVERIFY2(QString::fromLocal8Bit(e.what()).contains(QLatin1String("rigctld at 127.0.0.1:1: Connection refused")), e.what());
        }

        // What --check-config and the start refuse, and what Hamlib alone would call an "IO error".
        QVERIFY(hamlibOptionProblems(unknown).value(0).startsWith(QLatin1String("[rig] model 999999")));
        HamlibOptions ic7300{3073, QStringLiteral("/nonexistent/ttyUSB9"), 19200, 500};
        QVERIFY(hamlibOptionProblems(ic7300).isEmpty());
        // Too slow for the rig, no serial speed at all, and a speed for rigctld, which takes none.
        for (const auto &[model, badSpeed] : {std::pair{3073, 1200}, std::pair{3073, 12345}, std::pair{2, 19200}}) {
            HamlibOptions o = ic7300;
            o.model = model;
            o.serialSpeed = badSpeed;
            QVERIFY(hamlibOptionProblems(o).value(0).startsWith(QLatin1String("[rig] speed")));
        }
        const auto openError = [](const HamlibOptions &o) {
            try {
                HamlibRig(o).open();
            } catch (const RigError &e) {
                return QString::fromLocal8Bit(e.what());
            }
            return QString();
        };
        QVERIFY2(openError(ic7300).contains(QLatin1String("No such file or directory")), qPrintable(openError(ic7300)));
        ic7300.port = QStringLiteral("/dev/null");
        QVERIFY2(openError(ic7300).contains(QLatin1String("/dev/null is not a serial device")), qPrintable(openError(ic7300)));

        if (Rigctld::available()) {
            Rigctld plain;
            QVERIFY(plain.start(0, false));
            HamlibRig noCatPtt(network(plain));
            try {
                noCatPtt.setPtt(false);
                QFAIL("a rig without CAT keying took the unkey");
            } catch (const RigError &e) {
                QVERIFY2(QString::fromLocal8Bit(e.what()).contains(QLatin1String("-P RIG")), e.what());
            }
        }
    }

    // A rig that stops answering mid-command: its caller hears at once, later callers are
    // refused without waiting, the unkey waits its turn, and all is well again when the rig
    // answers. One fault report and one recovery, however many calls failed.
    void hungRigIsReportedAndRecovers()
    {
        if (!Rigctld::available())
            QSKIP("rigctld not installed (libhamlib-utils)");
        Rigctld daemon;
        QVERIFY(daemon.start());
        RigController controller(std::make_unique<HamlibRig>(network(daemon, 10000)), 300);
        QSignalSpy faults(&controller, &RigController::fault);
        QSignalSpy recoveries(&controller, &RigController::recovered);
        QVERIFY(runAndWait(controller, RigController::setPtt(true)).ok);

        daemon.pause();
        const RigOutcome hung = runAndWait(controller, &RigController::read);
        QVERIFY(!hung.ok);
        QVERIFY2(hung.error.contains(QLatin1String("did not answer")), qPrintable(hung.error));
        QVERIFY(!controller.answering());
        QVERIFY(!runAndWait(controller, &RigController::read).ok);
        std::optional<RigOutcome> unkey;
        controller.run(RigController::setPtt(false), [&](const RigOutcome &o) { unkey = o; }, true);
        QCOMPARE(faults.count(), 1);

        daemon.resume();
        QTRY_VERIFY_WITH_TIMEOUT(unkey.has_value(), kWaitMs);
        QVERIFY(unkey->ok);
        QTRY_COMPARE_WITH_TIMEOUT(recoveries.count(), 1, kWaitMs);
        QCOMPARE(runAndWait(controller, readPtt).reading.hz, qint64(0));

        // The program stops while a call is still on its way: the unkey queued behind it is
        // still sent, though the event loop that would have sent it has ended.
        auto unkeys = std::make_shared<std::atomic<int>>(0);
        {
            RigController stopping(std::make_unique<CountingRig>(unkeys), 10000);
            stopping.run(&RigController::read, nullptr);
            stopping.run(RigController::setPtt(false), nullptr, true);
        }
        QCOMPARE(unkeys->load(), 1);
    }

    // rigctld killed mid-session, then back on its port: the next calls fail with a reason
    // and, once it is back, succeed again without a new controller.
    void vanishedRigRecoversWithoutRestart()
    {
        if (!Rigctld::available())
            QSKIP("rigctld not installed (libhamlib-utils)");
        Rigctld daemon;
        QVERIFY(daemon.start());
        RigController controller(std::make_unique<HamlibRig>(network(daemon, 1000)), 10000);
        QSignalSpy faults(&controller, &RigController::fault);
        QSignalSpy recoveries(&controller, &RigController::recovered);
        QVERIFY(runAndWait(controller, RigController::setFrequency(14'200'000)).ok);

        const quint16 port = daemon.port();
        daemon.stop();
        const RigOutcome gone = runAndWait(controller, &RigController::read);
        QVERIFY(!gone.ok);
        QVERIFY(!gone.error.isEmpty());
        QVERIFY(faults.count() >= 1);

        Rigctld again;
        QVERIFY(again.start(port));
        QTRY_VERIFY_WITH_TIMEOUT(runAndWait(controller, RigController::setFrequency(7'100'000)).ok, kWaitMs);
        QCOMPARE(recoveries.count(), 1);
        QCOMPARE(runAndWait(controller, &RigController::read).reading.hz, qint64(7'100'000));
    }
};

QTEST_GUILESS_MAIN(NodeRigTest)
#include "test_node_rig.moc"
