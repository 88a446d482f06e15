// The protocol library's timers, socket watches and tasks running on the Qt event loop.
// The library objects are real; only the loop underneath is ours.

#define QT_NO_KEYWORDS // the library's headers use "signals" as a name

#include "echolink/native/QtAsyncApplication.h"

#include <AsyncFdWatch.h>
#include <AsyncIpAddress.h>
#include <AsyncTimer.h>
#include <AsyncUdpSocket.h>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <vector>

using namespace tavrin;

// A library timer deleted from inside its own callback (which the library allows and does)
// leaves one signal slot behind in the signal library; not ours to fix.
extern "C" const char *__lsan_default_suppressions();
extern "C" __attribute__((used)) const char *__lsan_default_suppressions()
{
    return "leak:libsigc-2.0\n";
}

namespace {
constexpr int kWaitMs = 5000;

struct Pipe {
    int fd[2] = {-1, -1};
    Pipe()
    {
        if (::pipe2(fd, O_NONBLOCK) != 0)
            fd[0] = fd[1] = -1;
    }
    ~Pipe()
    {
        for (int f : fd)
            if (f >= 0)
                ::close(f);
    }
    bool ok() const { return fd[0] >= 0; }
    void put(char c) { QCOMPARE(::write(fd[1], &c, 1), ssize_t(1)); }
    void drain()
    {
        char buf[64];
        while (::read(fd[0], buf, sizeof buf) > 0) { }
    }
};
} // namespace

class TestQtAsync : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QtAsyncApplication::ensure(); }
    void cleanup()
    {
        // Nothing a test made may stay behind in the loop.
        QTRY_COMPARE_WITH_TIMEOUT(QtAsyncApplication::instance()->activeTimerCount(), 0, kWaitMs);
        QCOMPARE(QtAsyncApplication::instance()->activeWatchCount(), 0);
    }

    void oneInstanceForTheProcess()
    {
        QtAsyncApplication &a = QtAsyncApplication::ensure();
        QCOMPARE(&QtAsyncApplication::ensure(), &a);
        QCOMPARE(&Async::Application::app(), static_cast<Async::Application *>(&a));
    }

    void timersFireOnceOrPeriodically()
    {
        int oneShot = 0;
        int periodic = 0;
        QElapsedTimer clock;
        clock.start();
        qint64 firstShotAt = -1;
        {
            Async::Timer once(60);
            once.expired.connect([&](Async::Timer *) {
                ++oneShot;
                firstShotAt = clock.elapsed();
            });
            Async::Timer every(10, Async::Timer::TYPE_PERIODIC);
            every.expired.connect([&](Async::Timer *) { ++periodic; });
            QTRY_VERIFY_WITH_TIMEOUT(periodic >= 5 && oneShot == 1, kWaitMs);
            QVERIFY(firstShotAt >= 55);
            QTest::qWait(100);
            QCOMPARE(oneShot, 1); // a one-shot does not come back by itself

            // A disabled periodic timer stays quiet.
            every.setEnable(false);
            const int seen = periodic;
            QTest::qWait(60);
            QCOMPARE(periodic, seen);

            // reset() on a fired one-shot arms it again, with the new time-out.
            once.setTimeout(20);
            QTRY_COMPARE_WITH_TIMEOUT(oneShot, 2, kWaitMs);
        }
        QCOMPARE(QtAsyncApplication::instance()->activeTimerCount(), 0);
    }

    void timersChangedFromTheirOwnCallbacks()
    {
        // Re-armed from inside: fires again.
        int rearmed = 0;
        Async::Timer again(5);
        again.expired.connect([&](Async::Timer *t) {
            if (++rearmed < 3)
                t->reset();
        });
        // Deleted from inside, also a periodic one (ASan watches the loop touch nothing after).
        int deletedCalls = 0;
        auto *doomed = new Async::Timer(5, Async::Timer::TYPE_PERIODIC);
        doomed->expired.connect([&](Async::Timer *t) {
            ++deletedCalls;
            delete t;
        });
        // Disabled from inside, then one of its neighbours deleted from the same callback.
        int neighbourCalls = 0;
        auto *neighbour = new Async::Timer(5);
        neighbour->expired.connect([&](Async::Timer *) { ++neighbourCalls; });
        Async::Timer killer(1, Async::Timer::TYPE_PERIODIC);
        killer.expired.connect([&](Async::Timer *t) {
            t->setEnable(false);
            delete neighbour;
            neighbour = nullptr;
        });
        QTRY_COMPARE_WITH_TIMEOUT(rearmed, 3, kWaitMs);
        QTest::qWait(50);
        QCOMPARE(rearmed, 3);
        QCOMPARE(deletedCalls, 1);
        QCOMPARE(neighbourCalls, 0);
    }

    void tasksRunLaterInOrder()
    {
        std::vector<int> order;
        Async::Application::app().runTask([&] { order.push_back(1); });
        Async::Application::app().runTask([&] {
            order.push_back(2);
            // A task queued by a task runs too.
            Async::Application::app().runTask([&] { order.push_back(3); });
        });
        QVERIFY(order.empty()); // never from inside the call
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), size_t(3), kWaitMs);
        QCOMPARE(order, (std::vector<int>{1, 2, 3}));
    }

    void fdWatchesReportReadAndWrite()
    {
        Pipe pipe;
        QVERIFY(pipe.ok());
        int reads = 0;
        Async::FdWatch reader(pipe.fd[0], Async::FdWatch::FD_WATCH_RD);
        reader.activity.connect([&](Async::FdWatch *) {
            ++reads;
            pipe.drain();
        });
        int writes = 0;
        Async::FdWatch writer(pipe.fd[1], Async::FdWatch::FD_WATCH_WR);
        writer.activity.connect([&](Async::FdWatch *w) {
            ++writes;
            w->setEnabled(false); // writable all the time: once is enough
        });
        QTRY_COMPARE_WITH_TIMEOUT(writes, 1, kWaitMs);
        QTest::qWait(20);
        QCOMPARE(reads, 0);
        pipe.put('x');
        QTRY_COMPARE_WITH_TIMEOUT(reads, 1, kWaitMs);

        // A disabled watch misses data; enabled again it sees it.
        reader.setEnabled(false);
        pipe.put('y');
        QTest::qWait(30);
        QCOMPARE(reads, 1);
        reader.setEnabled(true);
        QTRY_COMPARE_WITH_TIMEOUT(reads, 2, kWaitMs);
        QCOMPARE(writes, 1);
    }

    void fdWatchDeletedFromItsCallback()
    {
        Pipe pipe;
        QVERIFY(pipe.ok());
        int calls = 0;
        auto *watch = new Async::FdWatch(pipe.fd[0], Async::FdWatch::FD_WATCH_RD);
        watch->activity.connect([&](Async::FdWatch *w) {
            ++calls;
            delete w; // leaves the data unread: a live watch would fire again and again
        });
        // Moved to another descriptor from inside its callback: the old one goes quiet.
        Pipe other;
        QVERIFY(other.ok());
        int movedCalls = 0;
        Async::FdWatch mover(pipe.fd[0], Async::FdWatch::FD_WATCH_RD);
        mover.activity.connect([&](Async::FdWatch *w) {
            if (++movedCalls == 1) {
                w->setFd(other.fd[0], Async::FdWatch::FD_WATCH_RD);
                w->setEnabled(true);
            } else {
                other.drain();
            }
        });
        pipe.put('x');
        QTRY_VERIFY_WITH_TIMEOUT(calls == 1 && movedCalls == 1, kWaitMs);
        QTest::qWait(50);
        QCOMPARE(calls, 1);
        QCOMPARE(movedCalls, 1); // the unread byte on the old pipe no longer counts
        other.put('y');
        QTRY_COMPARE_WITH_TIMEOUT(movedCalls, 2, kWaitMs);
        QTest::qWait(30);
        QCOMPARE(movedCalls, 2);
        mover.setEnabled(false);
    }

    void udpThroughTheLibrary()
    {
        // The library's own socket class, end to end over loopback.
        const Async::IpAddress loopback("127.0.0.1");
        constexpr uint16_t kPort = 15190; // below the ports the link tests use
        Async::UdpSocket receiver(kPort, loopback);
        QVERIFY(receiver.initOk());
        QByteArray got;
        receiver.dataReceived.connect([&](const Async::IpAddress &, uint16_t, void *buf, int len) {
            got = QByteArray(static_cast<const char *>(buf), len);
        });
        Async::UdpSocket sender(0, loopback);
        QVERIFY(sender.initOk());
        QVERIFY(sender.write(loopback, kPort, "hello", 5));
        QTRY_COMPARE_WITH_TIMEOUT(got, QByteArray("hello"), kWaitMs);
    }

    void execAndQuitRunTheQtLoop()
    {
        bool ran = false;
        Async::Timer stop(10);
        stop.expired.connect([&](Async::Timer *) {
            ran = true;
            Async::Application::app().quit();
        });
        QTimer guard; // a broken quit() must not hang the test
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        guard.start(kWaitMs);
        Async::Application::app().exec();
        QVERIFY(guard.isActive());
        QVERIFY(ran);
    }
};

QTEST_GUILESS_MAIN(TestQtAsync)
#include "test_qtasync.moc"
