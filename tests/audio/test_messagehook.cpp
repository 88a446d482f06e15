// The message-hook facility: table limits and matching, the order of before / own / after
// handling, and the reports with their texts.

#include "audio/MessageHook.h"
#include "audio/WaveInRecorder.h"

#include <QCoreApplication>
#include <QtTest>

using namespace tavrin;
using When = MessageHook::When;

namespace {

struct Report {
    QString className, routine, message;
};

class ListSink : public HookReportSink {
public:
    void report(const QString &c, const QString &r, const QString &m) override { reports.append({c, r, m}); }
    QList<Report> reports;
};

// Records its own handling of hook messages, as a window's previous procedure would.
class Target : public QObject {
public:
    QStringList *log = nullptr;
    bool event(QEvent *e) override
    {
        if (log && e->type() == HookMessageEvent::eventType())
            log->append(QStringLiteral("own %1").arg(static_cast<HookMessageEvent *>(e)->message()));
        return QObject::event(e);
    }
};

void send(QObject &target, int message, qintptr w, qintptr l)
{
    HookMessageEvent e(message, w, l);
    QCoreApplication::sendEvent(&target, &e);
}

} // namespace

class MessageHookTest : public QObject {
    Q_OBJECT
private slots:
    void beforeOwnAfterOrderAndMatching();
    void tableLimitsAndFreedEntries();
    void reportsAndTheirTexts();
    void unhookStopsDelivery();
};

void MessageHookTest::beforeOwnAfterOrderAndMatching()
{
    ListSink sink;
    MessageHook hook(QStringLiteral("WaveInRecorder"));
    hook.setReportSink(&sink);
    QStringList log;
    Target target;
    target.log = &log;
    QVERIFY(hook.sc_Subclass(&target, [&](bool before, int msg, qintptr w, qintptr l, qintptr user) {
        log.append(QStringLiteral("%1 %2 %3 %4 %5").arg(before ? "before" : "after").arg(msg).arg(w).arg(l).arg(user));
    }, 7));
    hook.zAddMsg(&target, 960, When::After);
    hook.zAddMsg(&target, 961, When::Before);

    send(target, 960, 1, 2);
    send(target, 961, 3, 4);
    send(target, 962, 0, 0);
    QCOMPARE(log, (QStringList{"own 960", "after 960 1 2 7", "before 961 3 4 7", "own 961", "own 962"}));

    // -1 in the before-table matches every message, other events included.
    log.clear();
    hook.zAddMsg(&target, MessageHook::kAllMessages, When::Before);
    QCOMPARE(hook.tableCount(&target, When::Before), -1);
    send(target, 5, 0, 0);
    QEvent other(QEvent::User);
    QCoreApplication::sendEvent(&target, &other);
    QCOMPARE(log.size(), 3);
    QCOMPARE(log.at(0), QStringLiteral("before 5 0 0 7"));
    QCOMPARE(log.at(2), QStringLiteral("before %1 0 0 7").arg(int(QEvent::User)));
    // Removing -1 empties the table.
    hook.zDelMsg(&target, MessageHook::kAllMessages, When::Before);
    QCOMPARE(hook.tableCount(&target, When::Before), 0);
    QVERIFY(sink.reports.isEmpty());
}

void MessageHookTest::tableLimitsAndFreedEntries()
{
    ListSink sink;
    MessageHook hook(QStringLiteral("WaveInRecorder"));
    hook.setReportSink(&sink);
    QObject target;
    QVERIFY(hook.sc_Subclass(&target, [](bool, int, qintptr, qintptr, qintptr) {}));
    for (int m = 1; m <= 32; ++m)
        hook.zAddMsg(&target, m, When::After);
    hook.zAddMsg(&target, 5, When::After); // present: no change, no report
    QCOMPARE(hook.tableCount(&target, When::After), 32);
    QVERIFY(sink.reports.isEmpty());

    hook.zAddMsg(&target, 33, When::After);
    QCOMPARE(sink.reports.size(), 1);
    QCOMPARE(sink.reports.at(0).routine, QStringLiteral("zAddMsg"));
    QCOMPARE(sink.reports.at(0).message,
             QStringLiteral("Message table overflow. Either increase the value of Const MSG_ENTRIES or use "
                            "ALL_MESSAGES instead of specific message values"));
    // The other table is independent.
    hook.zAddMsg(&target, 33, When::Before);
    QCOMPARE(hook.tableCount(&target, When::Before), 1);

    // A freed entry is reused, so the 33rd distinct message now fits.
    hook.zDelMsg(&target, 7, When::After);
    hook.zAddMsg(&target, 33, When::After);
    QCOMPARE(hook.tableCount(&target, When::After), 32);
    QCOMPARE(sink.reports.size(), 1);
    hook.zAddMsg(&target, 7, When::After);
    QCOMPARE(sink.reports.size(), 2);
}

void MessageHookTest::reportsAndTheirTexts()
{
    ListSink sink;
    MessageHook hook(QStringLiteral("WaveInRecorder"));
    hook.setReportSink(&sink);
    QObject target;
    const auto handler = [](bool, int, qintptr, qintptr, qintptr) {};

    QVERIFY(!hook.sc_UnSubclass(&target));
    hook.zAddMsg(&target, 960, When::After);
    QVERIFY(!hook.sc_Subclass(nullptr, handler));
    QVERIFY(!hook.sc_Subclass(&target, {}));
    QVERIFY(hook.sc_Subclass(&target, handler));
    QVERIFY(!hook.sc_Subclass(&target, handler));
    QObject stranger;
    hook.zAddMsg(&stranger, 960, When::After);
    hook.zDelMsg(&target, 960, When::After);
    hook.zDelMsg(&target, 0x3C1, When::Before);

    QThread other;
    QObject elsewhere;
    elsewhere.moveToThread(&other);
    QVERIFY(!hook.sc_Subclass(&elsewhere, handler));

    const QList<QStringList> want{
        {"sc_UnSubclass", "Window handle isn't subclassed"},
        {"zMap_hWnd", "Subclassing hasn't been started"},
        {"sc_Subclass", "Invalid window handle"},
        {"sc_Subclass", "Callback method not found"},
        {"sc_Subclass", "Window handle is already subclassed"},
        {"zMap_hWnd", "Window handle isn't subclassed"},
        {"zDelMsg", "Message &H3C0 not found in table"},
        {"zDelMsg", "Message &H3C1 not found in table"},
        {"sc_Subclass", "Window handle belongs to another process"},
    };
    QCOMPARE(sink.reports.size(), want.size());
    for (int k = 0; k < want.size(); ++k) {
        QCOMPARE(sink.reports.at(k).className, QStringLiteral("WaveInRecorder"));
        QCOMPARE(sink.reports.at(k).routine, want.at(k).at(0));
        QCOMPARE(sink.reports.at(k).message, want.at(k).at(1));
    }
}

void MessageHookTest::unhookStopsDelivery()
{
    ListSink sink;
    MessageHook hook(QStringLiteral("WaveInRecorder"));
    hook.setReportSink(&sink);
    int calls = 0;
    QObject target;
    QVERIFY(hook.sc_Subclass(&target, [&](bool, int, qintptr, qintptr, qintptr) { ++calls; }));
    hook.zAddMsg(&target, 960, When::After);
    HookMessageEvent e(960, 0, 0);
    QCoreApplication::sendEvent(&target, &e);
    QCOMPARE(calls, 1);
    QVERIFY(hook.sc_UnSubclass(&target));
    QVERIFY(!hook.isHooked(&target));
    QCoreApplication::sendEvent(&target, &e);
    QCOMPARE(calls, 1);
    // It can be hooked again with fresh tables.
    QVERIFY(hook.sc_Subclass(&target, [&](bool, int, qintptr, qintptr, qintptr) { ++calls; }));
    QCOMPARE(hook.tableCount(&target, When::After), 0);
    QVERIFY(sink.reports.isEmpty());
}

QTEST_MAIN(MessageHookTest)
#include "test_messagehook.moc"
