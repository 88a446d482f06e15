// The main window's chat recognisers, the receive indication and the transmit control with
// its request timers driven by hand.
#include "CoreTestKit.h"

#include "core/WidgetColors.h"
#include "protocol/TimeTexts.h"

#include "BuildConfig.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

using namespace tavrin;
using namespace tavrin::test;

namespace {

struct ProtocolRig : Rig {
    explicit ProtocolRig(const QString &dir) : Rig(dir)
    {
        QVERIFY(start());
        // Supervision would overwrite the transmit state and the station count; here the
        // test sets them in the station model.
        find<QTimer>(QStringLiteral("Timer3"))->stop();
        find<QTimer>(QStringLiteral("Timer4"))->stop();
        backend.clearCalls();
    }
    QString text(const QString &name)
    {
        if (auto *e = window()->findChild<QLineEdit *>(name))
            return e->text();
        return find<QLabel>(name)->text();
    }
    void stations(int n) { window()->station().setStationCount(n); }
    void transmitButton() { find<QPushButton>(QStringLiteral("Command1x"))->click(); }
    QTimer *timer(int n) { return window()->timer(n); }
    bool noticeShown() { return find<QWidget>(QStringLiteral("Frame11"))->isVisibleTo(window()); }
    QString status() { return find<QLabel>(QStringLiteral("StatusLine"))->text(); }
    int keyings() { return int(backend.callsOf(QStringLiteral("SetTransmit")).size()); }
};

// The controls of the other windows that the main window's protocol side reaches.
struct Others {
    explicit Others(Rig &rig)
        : pad(*rig.program().registry().window(QStringLiteral("Form3"))),
          sysopBox(*rig.program().registry().window(QStringLiteral("Form126")))
    {
        const QString padName = QStringLiteral("Form3");
        padIndicator = rig.program().registry().control<QLabel>(padName, QStringLiteral("PTT1"));
        padState = rig.program().registry().control<QLabel>(padName, QStringLiteral("Label3"));
        padNotice = rig.program().registry().control<QWidget>(padName, QStringLiteral("Frame11"));
        sysopLog = rig.program().registry().control<QPlainTextEdit>(QStringLiteral("Form126"), QStringLiteral("Text1"));
        sysopLog->setPlainText(QStringLiteral("earlier\n"));
        extraCall = rig.program().registry().control<QLineEdit>(QStringLiteral("Messages"), QStringLiteral("ExtraCall"));
    }
    QWidget &pad;
    QLabel *padIndicator;
    QLabel *padState;
    QWidget *padNotice;
    QWidget &sysopBox;
    QPlainTextEdit *sysopLog;
    QLineEdit *extraCall;
};

const QString kAckForTst = QStringLiteral(" Message has been received and left for the XX1TST-L's Sysop");

} // namespace

class ProtocolTest : public QObject {
    Q_OBJECT
private slots:
    void frequencyReportsAndVersionQueries()
    {
        QTemporaryDir dir;
        ProtocolRig rig(dir.path());
        rig.backend.raiseChat(QStringLiteral("XX9XYZ-L>FN7.1450"));
        QCOMPARE(rig.text("Text1"), QStringLiteral("7.1450"));
        QCOMPARE(rig.text("Label4"), QStringLiteral("7.1450"));
        rig.backend.raiseChat(QStringLiteral("XX9XYZ-L>fn14.2 usb"));
        QCOMPARE(rig.text("Label4"), QStringLiteral("14.2000"));

        // No tag, or nothing left of the frequency: both fields keep what they showed.
        rig.backend.raiseChat(QStringLiteral(">FN3.5"));
        rig.backend.raiseChat(QStringLiteral("XX9XYZ-L>FN USB"));
        // Another panel's command on the link is no report of where the station is.
        rig.backend.raiseChat(QStringLiteral("XX1AB>FN3.5000 MHz  -  09:05:07"));
        QCOMPARE(rig.text("Text1"), QStringLiteral("14.2000"));
        QCOMPARE(rig.text("Label4"), QStringLiteral("14.2000"));
        QVERIFY(rig.backend.sent().isEmpty());

        rig.backend.raiseChat(QStringLiteral("/ver/"));
        QVERIFY(rig.backend.sent().isEmpty());
        rig.backend.raiseChat(QStringLiteral("XX1AB>/ver/"));
        QCOMPARE(rig.backend.sent(), QStringList{QStringLiteral("Tavrin  v%1.%2.%3")
                                                     .arg(TAVRIN_VERSION_MAJOR)
                                                     .arg(TAVRIN_VERSION_MINOR)
                                                     .arg(TAVRIN_VERSION_REVISION)});

        // One line can be all three at once, answered in order.
        rig.backend.clearCalls();
        rig.backend.raiseChat(QStringLiteral("XX1AB>/ver/ **XX1TST** FN7"));
        QCOMPARE(rig.backend.sent().size(), 2);
        QVERIFY(rig.backend.sent().first().startsWith(QStringLiteral("Tavrin")));
        QCOMPARE(rig.backend.sent().last(), kAckForTst);
    }

    void sysopMessagesWithoutTheBox()
    {
        QTemporaryDir dir;
        ProtocolRig rig(dir.path()); // local callsign XX1TST-L, no sysop box, no chat window
        rig.backend.raiseChat(QStringLiteral("XX1AB>** XX1TST-L ** call me"));
        rig.backend.raiseChat(QStringLiteral("XX1AB>**xx1tst** lower case"));
        QCOMPARE(rig.backend.sent(), (QStringList{kAckForTst, kAckForTst}));

        rig.backend.clearCalls();
        rig.backend.raiseChat(QStringLiteral("XX1AB>*XX1TST* single"));
        rig.backend.raiseChat(QStringLiteral("XX1AB>**** stars only"));
        QVERIFY(rig.backend.sent().isEmpty());

        // The markers follow the callsign the client reports now.
        rig.backend.localCallsign = QStringLiteral("XX2NEW-R");
        rig.backend.raiseChat(QStringLiteral("XX1AB>**XX1TST** old call"));
        QVERIFY(rig.backend.sent().isEmpty());
        rig.backend.raiseChat(QStringLiteral("XX1AB>**XX2NEW** new call"));
        QCOMPARE(rig.backend.sent(),
                 QStringList{QStringLiteral(" Message has been received and left for the XX2NEW-R's Sysop")});

        // A lost acknowledgement is lost silently; the next line is still read.
        rig.backend.failing.insert(QStringLiteral("SendChatText"));
        rig.backend.raiseChat(QStringLiteral("XX1AB>**XX2NEW** again"));
        rig.backend.raiseChat(QStringLiteral("XX9XYZ-L>FN7.2"));
        QCOMPARE(rig.text("Text1"), QStringLiteral("7.2000"));
    }

    void sysopMessagesLoggedAndExtraCall()
    {
        QTemporaryDir dir;
        ProtocolRig rig(dir.path());
        Others others(rig);

        const QString line = QStringLiteral("XX1AB>**XX1TST** please call");
        rig.backend.raiseChat(line);
        const QString expected = tavrin::remote::defaultDateText(QDate(2024, 5, 4)) + QStringLiteral(" at ")
                                 + tavrin::remote::defaultTimeText(QTime(9, 5, 7)) + QStringLiteral(" ") + line;
        QVERIFY2(others.sysopLog->toPlainText().startsWith(QStringLiteral("earlier\n") + expected),
                 qPrintable(others.sysopLog->toPlainText()));
        QVERIFY(others.sysopBox.isVisible());
        QVERIFY(others.sysopLog->textCursor().atEnd());
        QCOMPARE(rig.backend.sent(), QStringList{kAckForTst});
        // A line break of the sender's cannot start what reads as a further entry.
        const QString forged = expected.left(expected.indexOf(QLatin1Char('X'))) + QStringLiteral("XX9XYZ>**XX1TST** call");
        for (const QString &brk : {QStringLiteral("\r"), QStringLiteral("\n"), QString(QChar(0x2029)), QString(QChar(0xFDD0))}) {
            rig.backend.raiseChat(QStringLiteral("XX1AB>**XX1TST** hi") + brk + forged);
            QVERIFY2(!others.sysopLog->toPlainText().contains(QLatin1Char('\n') + forged), qPrintable(brk));
        }

        // Extra call: counts once it is known, and a change is seen at the next line.
        rig.backend.clearCalls();
        rig.backend.raiseChat(QStringLiteral("XX1AB>**XX7EXT** hi"));
        QVERIFY(rig.backend.sent().isEmpty());
        others.extraCall->setText(QStringLiteral("XX7EXT"));
        rig.backend.raiseChat(QStringLiteral("XX1AB>**XX7EXT** hi"));
        QCOMPARE(rig.backend.sent(), QStringList{kAckForTst});
        others.extraCall->setText(QStringLiteral("XX8OTH"));
        rig.backend.raiseChat(QStringLiteral("XX1AB>**XX7EXT** hi"));
        QCOMPARE(rig.backend.sent().size(), 1);
        others.extraCall->clear();
        rig.backend.raiseChat(QStringLiteral("XX1AB>**** hi"));
        QCOMPARE(rig.backend.sent().size(), 1);
    }

    void receiveIndication()
    {
        QTemporaryDir dir;
        ProtocolRig rig(dir.path());
        Others others(rig);
        auto *indicator = rig.find<QLineEdit>("PTT1");
        rig.backend.raiseRx(true);
        QCOMPARE(indicator->text(), QStringLiteral("IP  TX  ON"));
        QCOMPARE(backColor(indicator), kRed);
        QCOMPARE(others.padIndicator->text(), QStringLiteral("IP  TX  ON"));
        QCOMPARE(backColor(others.padIndicator), kRed);
        rig.backend.raiseRx(false);
        QCOMPARE(indicator->text(), QStringLiteral("IP  TX  OFF"));
        QCOMPARE(backColor(indicator), buttonFace());
        QCOMPARE(others.padIndicator->text(), QStringLiteral("IP  TX  OFF"));
        QCOMPARE(backColor(others.padIndicator), buttonFace());
    }

    void transmitButtonKeysAndReleases()
    {
        QTemporaryDir dir;
        ProtocolRig rig(dir.path());
        auto *state = rig.find<QLabel>("Label3");

        // No station and a quiet link: nothing at all.
        rig.transmitButton();
        QCOMPARE(rig.keyings(), 0);
        QVERIFY(!rig.window()->station().transmitting());
        QVERIFY(rig.backend.sent().isEmpty());

        rig.stations(1);
        rig.transmitButton();
        QCOMPARE(rig.backend.calls.last().operation, QStringLiteral("SetTransmit"));
        QCOMPARE(rig.backend.calls.last().argument, QStringLiteral("true"));
        QVERIFY(rig.window()->station().transmitting());
        QCOMPARE(state->text(), QStringLiteral("Transmitting"));
        QCOMPARE(backColor(state), kRed);
        rig.transmitButton();
        QCOMPARE(rig.backend.calls.last().argument, QStringLiteral("false"));
        QVERIFY(!rig.window()->station().transmitting());
        QCOMPARE(state->text(), QStringLiteral("Receive Mode"));
        QCOMPARE(backColor(state), buttonFace());

        // A refusing client: the display stays at what the client does, and says why.
        rig.backend.failing.insert(QStringLiteral("SetTransmit"));
        rig.transmitButton();
        QVERIFY(!rig.window()->station().transmitting());
        QCOMPARE(state->text(), QStringLiteral("Receive Mode"));
        QVERIFY(!rig.status().isEmpty());
    }

    void requestKeysOnceWhenTheLinkGoesQuiet()
    {
        QTemporaryDir dir;
        ProtocolRig rig(dir.path());
        Others others(rig);
        rig.find<QLineEdit>("Text15")->setText(QStringLiteral("1234"));
        rig.backend.raiseRx(true);

        // With the link busy the button asks the node, even with no station counted.
        rig.transmitButton();
        QCOMPARE(rig.backend.sent(),
                 QStringList{tavrin::remote::defaultTimeText(QTime(9, 5, 7)) + QStringLiteral(" CPT?")});
        QVERIFY(rig.noticeShown());
        QVERIFY(others.padNotice->isVisibleTo(&others.pad));
        QVERIFY(rig.timer(6)->isActive());
        QCOMPARE(rig.timer(6)->interval(), 1234);
        QVERIFY(rig.timer(7)->isActive());
        QCOMPARE(rig.keyings(), 0);

        rig.stations(2);
        rig.window()->Timer7_Timer(); // still busy: nothing
        QCOMPARE(rig.keyings(), 0);
        QVERIFY(rig.timer(7)->isActive());

        rig.backend.raiseRx(false);
        rig.window()->Timer7_Timer();
        QCOMPARE(rig.keyings(), 1);
        QVERIFY(rig.window()->station().transmitting());
        QCOMPARE(others.padState->text(), QStringLiteral("Transmitting"));
        QCOMPARE(backColor(others.padState), kRed);
        QVERIFY(!rig.timer(7)->isActive());
        QVERIFY(rig.timer(6)->isActive()); // the notices stay until the wait is over

        rig.window()->Timer6_Timer();
        QVERIFY(!rig.noticeShown());
        QVERIFY(!others.padNotice->isVisibleTo(&others.pad));
        QVERIFY(!rig.timer(6)->isActive());
        QCOMPARE(rig.keyings(), 1);
    }

    void requestThatNeverGetsThrough()
    {
        QTemporaryDir dir;
        ProtocolRig rig(dir.path());
        rig.stations(1);
        rig.backend.raiseRx(true);
        rig.transmitButton();
        QCOMPARE(rig.timer(6)->interval(), 5000);
        for (int i = 0; i < 5; ++i)
            rig.window()->Timer7_Timer();
        rig.window()->Timer6_Timer();
        QVERIFY(!rig.noticeShown());
        QVERIFY(!rig.timer(6)->isActive());
        QVERIFY(!rig.timer(7)->isActive());
        QCOMPARE(rig.keyings(), 0);
        QVERIFY(!rig.window()->station().transmitting());

        // The link goes quiet with nobody connected: the request ends, nothing is keyed.
        rig.stations(0);
        rig.transmitButton();
        rig.backend.raiseRx(false);
        rig.window()->Timer7_Timer();
        QVERIFY(!rig.timer(7)->isActive());
        QCOMPARE(rig.keyings(), 0);
    }

    void requestFailuresAreReported()
    {
        QTemporaryDir dir;
        ProtocolRig rig(dir.path());
        rig.backend.raiseRx(true);
        rig.backend.failing.insert(QStringLiteral("SendChatText"));
        rig.find<QLineEdit>("Text15")->setText(QStringLiteral("soon"));
        rig.transmitButton();
        // The request still waits (the node may have heard it), with the last good wait.
        QVERIFY(rig.noticeShown());
        QVERIFY(rig.timer(6)->isActive());
        QCOMPARE(rig.timer(6)->interval(), 5000);
        QVERIFY(rig.status().contains(QStringLiteral("soon")));

        rig.find<QLineEdit>("Text15")->setText(QStringLiteral("0"));
        rig.transmitButton();
        QCOMPARE(rig.timer(6)->interval(), 5000);
    }
};

QTEST_MAIN(ProtocolTest)
#include "test_protocol.moc"
