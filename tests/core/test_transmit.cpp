// The transmit request's life cycle through the one transmit control, pressed alike from the
// main window's button, the Remote Pad's button and the rig server's PTT: keying and release
// on a quiet link, and on a busy one the request with its notices and timers, keying once the
// link goes quiet, and the notices going when the wait is over. Both windows show every step.
#include "CoreTestKit.h"

#include "core/RigControl.h"
#include "core/RigService.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <functional>

using namespace tavrin;
using namespace tavrin::test;

namespace {

enum class Source { MainButton, PadButton, RigPtt };
constexpr int kMainHandle = 0;
constexpr int kPadHandle = 1; // handles in creation order: the pad's comes right after the main window's
constexpr int kRigClient = 1;

struct TransmitRig : Rig {
    explicit TransmitRig(const QString &dir) : Rig(dir)
    {
        QVERIFY(start());
        // Ticked by hand: supervision would read the fake client's transmitter back.
        window()->timer(3)->stop();
        window()->timer(4)->stop();
        program().rigService()->control().setPttPolicy(true, 180);
        window()->station().setStationCount(1);
        backend.clearCalls();
    }
    QWidget *pad() { return program().registry().window(QStringLiteral("Form3")); }
    void press(Source source, bool on)
    {
        switch (source) {
        case Source::MainButton: find<QPushButton>(QStringLiteral("Command1x"))->click(); break;
        case Source::PadButton: program().registry().control<QPushButton>(QStringLiteral("Form3"), QStringLiteral("Command1x"))->click(); break;
        case Source::RigPtt: program().rigService()->control().setPtt(kRigClient, on); break;
        }
    }
    QList<FakeCall> keyings() { return backend.callsOf(QStringLiteral("SetTransmit")); }
    // Both windows show the same: the transmit state, and the request notice.
    void expectShown(bool transmitting, bool notice)
    {
        const QString state = transmitting ? QStringLiteral("Transmitting") : QStringLiteral("Receive Mode");
        QCOMPARE(find<QLabel>(QStringLiteral("Label3"))->text(), state);
        QCOMPARE(program().registry().control<QLabel>(QStringLiteral("Form3"), QStringLiteral("Label3"))->text(), state);
        QCOMPARE(find<QWidget>(QStringLiteral("Frame11"))->isVisibleTo(window()), notice);
        QCOMPARE(program().registry().control<QWidget>(QStringLiteral("Form3"), QStringLiteral("Frame11"))->isVisibleTo(pad()), notice);
    }
};

} // namespace

class TransmitTest : public QObject {
    Q_OBJECT
private slots:
    void lifeCycle_data()
    {
        QTest::addColumn<int>("sourceNumber");
        QTest::addColumn<int>("ownHandle");
        QTest::newRow("main window's button") << int(Source::MainButton) << kMainHandle;
        QTest::newRow("Remote Pad's button") << int(Source::PadButton) << kPadHandle;
        QTest::newRow("rig server's PTT") << int(Source::RigPtt) << kMainHandle;
    }

    void lifeCycle()
    {
        QFETCH(int, sourceNumber);
        const auto source = Source(sourceNumber);
        QFETCH(int, ownHandle);
        QTemporaryDir dir;
        TransmitRig rig(dir.path());
        station::StationState &state = rig.window()->station();

        // A quiet link: keyed and released through the pressing window's own handle.
        rig.press(source, true);
        QCOMPARE(rig.keyings().size(), 1);
        QCOMPARE(rig.keyings().last().argument, QStringLiteral("true"));
        QCOMPARE(rig.keyings().last().handle, ownHandle);
        QVERIFY(state.transmitting());
        rig.expectShown(true, false);
        rig.press(source, false);
        QCOMPARE(rig.keyings().size(), 2);
        QCOMPARE(rig.keyings().last().argument, QStringLiteral("false"));
        QVERIFY(!state.transmitting());
        rig.expectShown(false, false);

        // A busy link: a request goes out instead, with its notices and both timers.
        rig.backend.raiseRx(true);
        rig.press(source, true);
        QCOMPARE(rig.backend.sent().size(), 1);
        QVERIFY(rig.backend.sent().first().endsWith(QStringLiteral(" CPT?")));
        QCOMPARE(rig.backend.callsOf(QStringLiteral("SendChatText")).first().handle, ownHandle);
        QCOMPARE(rig.keyings().size(), 2);
        QVERIFY(state.transmit().requestShown());
        QVERIFY(state.transmit().requestPending());
        QVERIFY(rig.window()->timer(6)->isActive());
        QVERIFY(rig.window()->timer(7)->isActive());
        rig.expectShown(false, true);

        // Still busy at the poll: nothing. Quiet: keyed once, by the station's own handle.
        rig.window()->Timer7_Timer();
        QCOMPARE(rig.keyings().size(), 2);
        rig.backend.raiseRx(false);
        rig.window()->Timer7_Timer();
        QCOMPARE(rig.keyings().size(), 3);
        QCOMPARE(rig.keyings().last().handle, kMainHandle);
        QVERIFY(state.transmitting());
        QVERIFY(!rig.window()->timer(7)->isActive());
        rig.expectShown(true, true); // the notices stay until the wait is over

        rig.window()->Timer6_Timer();
        QVERIFY(!state.transmit().requestShown());
        QVERIFY(!rig.window()->timer(6)->isActive());
        rig.expectShown(true, false);

        // Released again from where it was asked for.
        rig.press(source, false);
        QCOMPARE(rig.keyings().size(), 4);
        QCOMPARE(rig.keyings().last().argument, QStringLiteral("false"));
        QVERIFY(!state.transmitting());
        rig.expectShown(false, false);
        // A keying the client refuses is not shown as done, in either window.
        rig.backend.failing.insert(QStringLiteral("SetTransmit"));
        rig.press(source, true);
        QVERIFY(!state.transmitting());
        rig.expectShown(false, false);
        // Its failure is said, and goes once a later keying works.
        const auto status = [&] {
            return source == Source::PadButton
                       ? rig.program().registry().control<QLabel>(QStringLiteral("Form3"), QStringLiteral("StatusLine"))->text()
                       : rig.find<QLabel>(QStringLiteral("StatusLine"))->text();
        };
        QVERIFY2(status().startsWith(QStringLiteral("Could not key")), qPrintable(status()));
        rig.backend.failing.clear();
        rig.press(source, true);
        QVERIFY(state.transmitting());
        QVERIFY2(!status().startsWith(QStringLiteral("Could not")), qPrintable(status()));
    }

    // Alt+Space opens a window's own menu: it must never key the transmitter, though the
    // caption's "&" stands before the blank.
    void altSpaceNeverKeys()
    {
        QTemporaryDir dir;
        TransmitRig rig(dir.path());
        rig.window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.window()));
        auto *mainButton = rig.find<QPushButton>(QStringLiteral("Command1x"));
        QTest::keyClick(rig.window(), Qt::Key_Space, Qt::AltModifier);
        // A key that reached the button pushes it down at once and clicks it a moment later.
        QVERIFY(!mainButton->isDown());
        QCOMPARE(mainButton->text(), QStringLiteral("TX /& RX"));
        auto *padButton = rig.program().registry().control<QPushButton>(QStringLiteral("Form3"), QStringLiteral("Command1x"));
        rig.pad()->show();
        rig.pad()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.pad()));
        QTest::keyClick(rig.pad(), Qt::Key_Space, Qt::AltModifier);
        QVERIFY(!padButton->isDown());
        QCOMPARE(padButton->text(), QStringLiteral("TX /& RX"));
        QTest::qWait(300);
        QVERIFY(rig.keyings().isEmpty());
        QVERIFY(!rig.window()->station().transmitting());
    }
};

QTEST_MAIN(TransmitTest)
#include "test_transmit.moc"
