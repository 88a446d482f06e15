// The Remote Pad in the whole program: its keypad, Enter and steps working on the main
// window's fields, its transmit button, its chat line, failed sends, the main window's writes
// reaching the pad, and the pad's window controls.
#include "core/CoreTestKit.h"

#include "audio/GradH.h"
#include "core/StationController.h"
#include "messaging/ChatFormat.h"
#include "messaging/ChatWindow.h"
#include "messaging/RemotePad.h"
#include "support/WindowShape.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

using namespace tavrin;
using namespace tavrin::test;

namespace {

const QColor kRed(255, 0, 0);
// Handles in creation order: the main window's first, the pad's next (loaded right after Form1).
constexpr int kPadHandle = 1;
// The rig's clock reads 09:05:07.
const QString kAt = QStringLiteral(" MHz  -  09:05:07");

struct PadRig : Rig {
    explicit PadRig(const QString &dir) : Rig(dir)
    {
        QVERIFY(start());
        // Supervision would overwrite the transmit state and the displays; tests tick it by hand.
        window()->timer(3)->stop();
        window()->timer(4)->stop();
        backend.clearCalls();
    }
    QWidget *pad() { return program().registry().window(QStringLiteral("Form3")); }
    QWidget *chat() { return program().registry().window(QStringLiteral("Messages")); }
    template <class T>
    T *inPad(const QString &name)
    {
        T *found = program().registry().control<T>(QStringLiteral("Form3"), name);
        if (!found)
            qWarning("no pad control %s", qPrintable(name));
        return found;
    }
    void click(const QString &name) { inPad<QAbstractButton>(name)->click(); }
    QString padText(const QString &name) { return inPad<QLineEdit>(name)->text(); }
    QString mainText(const QString &name)
    {
        if (auto *e = window()->findChild<QLineEdit *>(name))
            return e->text();
        return find<QLabel>(name)->text();
    }
    void setMain(const QString &name, const QString &text)
    {
        if (auto *e = window()->findChild<QLineEdit *>(name))
            e->setText(text);
        else
            find<QLabel>(name)->setText(text);
    }
    QString status() { return inPad<QLabel>(QStringLiteral("StatusLine"))->text(); }
    QString padLog() { return inPad<QPlainTextEdit>(QStringLiteral("RTB"))->toPlainText(); }
    QString chatBox() { return program().registry().control<QPlainTextEdit>(QStringLiteral("Messages"), QStringLiteral("RTB"))->toPlainText(); }
    QColor back(QWidget *w, QPalette::ColorRole role) { return w->palette().color(role); }
};

} // namespace

class PadTest : public QObject {
    Q_OBJECT
private slots:
    void keypadWritesBothWindows();
    void enterSendsTheTypedFrequency();
    void stepsMoveTheMainDisplay();
    void transmitButton();
    void transmitRequest();
    void chatLine();
    void failedSendsKeepWhatWasTyped();
    void mainWindowWritesReachThePad();
    void windowControls();
    void shutdownStopsThePadMeter();
    void builtOnFirstUseShowsWhatCameBefore();
};

void PadTest::keypadWritesBothWindows()
{
    QTemporaryDir dir;
    PadRig rig(dir.path());
    rig.setMain(QStringLiteral("Text3"), QStringLiteral("7"));
    rig.setMain(QStringLiteral("Text11"), QStringLiteral("3"));
    for (const char *key : {"Command34", "Command42", "Command46", "Command44"}) // 1 4 . 2
        rig.click(QLatin1String(key));
    QCOMPARE(rig.padText(QStringLiteral("Text3")), QStringLiteral("14.2"));
    QCOMPARE(rig.mainText(QStringLiteral("Text3")), QStringLiteral("714.2"));
    QCOMPARE(rig.mainText(QStringLiteral("Text11")), QStringLiteral("314.2"));

    // Every digit key writes its own digit.
    const QStringList digitKeys = {"Command36", "Command34", "Command44", "Command43", "Command42",
                                   "Command41", "Command40", "Command39", "Command38", "Command37"};
    for (int d = 0; d < 10; ++d) {
        rig.click(digitKeys.at(d));
        QVERIFY(rig.padText(QStringLiteral("Text3")).endsWith(QString::number(d)));
        QVERIFY(rig.mainText(QStringLiteral("Text11")).endsWith(QString::number(d)));
    }

    // C empties all three fields.
    rig.click(QStringLiteral("Command45"));
    QVERIFY(rig.padText(QStringLiteral("Text3")).isEmpty());
    QVERIFY(rig.mainText(QStringLiteral("Text3")).isEmpty());
    QVERIFY(rig.mainText(QStringLiteral("Text11")).isEmpty());

    // The point rule looks at the pad's own field: a leading point does not count ...
    rig.click(QStringLiteral("Command46"));
    rig.click(QStringLiteral("Command46"));
    QCOMPARE(rig.padText(QStringLiteral("Text3")), QStringLiteral(".."));
    QCOMPARE(rig.mainText(QStringLiteral("Text3")), QStringLiteral(".."));
    // ... a later one does, whatever the main window's fields hold.
    rig.click(QStringLiteral("Command45"));
    rig.click(QStringLiteral("Command34"));
    rig.click(QStringLiteral("Command42"));
    rig.click(QStringLiteral("Command46"));
    rig.setMain(QStringLiteral("Text3"), QStringLiteral("9"));
    rig.click(QStringLiteral("Command46"));
    QCOMPARE(rig.padText(QStringLiteral("Text3")), QStringLiteral("14."));
    QCOMPARE(rig.mainText(QStringLiteral("Text3")), QStringLiteral("9"));
    QVERIFY(rig.backend.sent().isEmpty());
}

void PadTest::enterSendsTheTypedFrequency()
{
    QTemporaryDir dir;
    PadRig rig(dir.path());
    for (const char *key : {"Command34", "Command42", "Command46", "Command44"})
        rig.click(QLatin1String(key));
    rig.click(QStringLiteral("Command35"));
    QCOMPARE(rig.mainText(QStringLiteral("Label4")), QStringLiteral("14.2"));
    QCOMPARE(rig.mainText(QStringLiteral("Text1")), QStringLiteral("14.2000"));
    QCOMPARE(rig.backend.sent(), QStringList{QStringLiteral("FN14.2000") + kAt});
    QCOMPARE(rig.backend.callsOf(QStringLiteral("SendChatText")).first().handle, kPadHandle);
    QVERIFY(rig.padText(QStringLiteral("Text3")).isEmpty());
    QVERIFY(rig.mainText(QStringLiteral("Text3")).isEmpty());
    QVERIFY(rig.mainText(QStringLiteral("Text11")).isEmpty());
    // The pad's own display follows only through the supervision.
    QCOMPARE(rig.padText(QStringLiteral("Text1")), QStringLiteral("000.0000 MHz"));

    // An empty entry sends nothing and still empties the main window's fields.
    rig.backend.clearCalls();
    rig.setMain(QStringLiteral("Text11"), QStringLiteral("5"));
    rig.click(QStringLiteral("Command35"));
    QVERIFY(rig.backend.sent().isEmpty());
    QVERIFY(rig.mainText(QStringLiteral("Text11")).isEmpty());
    QCOMPARE(rig.mainText(QStringLiteral("Label4")), QStringLiteral("14.2"));

    // A decimal comma typed on the keyboard goes out as a point; Return is Enter.
    rig.inPad<QLineEdit>(QStringLiteral("Text3"))->setText(QStringLiteral("7,1"));
    QTest::keyClick(rig.inPad<QLineEdit>(QStringLiteral("Text3")), Qt::Key_Return);
    QCOMPARE(rig.backend.sent(), QStringList{QStringLiteral("FN7.1000") + kAt});

    rig.backend.clearCalls();
    // Typed into the field from the keyboard, the Enter key enters it; with more decimals than
    // go out, the display shows what was sent, as the main window's does.
    QTest::keyClicks(rig.inPad<QLineEdit>(QStringLiteral("Text3")), QStringLiteral("7.12345"));
    QTest::keyClick(rig.inPad<QLineEdit>(QStringLiteral("Text3")), Qt::Key_Return);
    QCOMPARE(rig.backend.sent(), QStringList{QStringLiteral("FN7.1235") + kAt});
    QCOMPARE(rig.mainText(QStringLiteral("Label4")), QStringLiteral("7.1235"));
    QVERIFY(rig.padText(QStringLiteral("Text3")).isEmpty());
}

void PadTest::stepsMoveTheMainDisplay()
{
    QTemporaryDir dir;
    PadRig rig(dir.path());
    struct Case {
        const char *button;
        const char *from;
        const char *to;
    };
    const Case cases[] = {
        {"Command55", "14.2000", "14.2100"}, // +10kHz
        {"Command52", "14.2300", "14.2350"}, // +5kHz
        {"Command53", "14.2300", "14.2301"}, // +0.1kHz
        {"Command49", "7.0000", "6.9999"},   // -0.1kHz
        {"Command51", "7.0000", "6.9900"},   // -10kHz
        {"Command55", "14.2", "14.2100"},    // a typed display comes out formatted
        {"Command55", "14,2", "14.2100"},    // so does a preset's text with a decimal comma
    };
    for (const Case &c : cases) {
        rig.backend.clearCalls();
        rig.window()->station().setDisplay(QLatin1String(c.from));
        rig.click(QLatin1String(c.button));
        QCOMPARE(rig.mainText(QStringLiteral("Label4")), QLatin1String(c.to));
        QCOMPARE(rig.mainText(QStringLiteral("Text1")), QLatin1String(c.to));
        QCOMPARE(rig.backend.sent(), QStringList{QStringLiteral("FN") + QLatin1String(c.to) + kAt});
        QCOMPARE(rig.backend.callsOf(QStringLiteral("SendChatText")).first().handle, kPadHandle);
    }

    // No frequency command that is not a frequency above 0 MHz: a step from the start-up
    // display, a step below 0, and Enter on "..". Nothing changes; the pad says why.
    rig.backend.clearCalls();
    for (const char *from : {"000.0000", ".0030"}) {
        rig.window()->station().setDisplay(QLatin1String(from));
        rig.click(QStringLiteral("Command48")); // -5kHz
        QCOMPARE(rig.mainText(QStringLiteral("Label4")), QLatin1String(from));
        QVERIFY(rig.status().startsWith(QStringLiteral("Not sent")));
    }
    rig.click(QStringLiteral("Command46"));
    rig.click(QStringLiteral("Command46"));
    rig.click(QStringLiteral("Command35"));
    QCOMPARE(rig.padText(QStringLiteral("Text3")), QStringLiteral(".."));
    QVERIFY(rig.status().contains(QStringLiteral("\"..\"")));
    QVERIFY(rig.backend.sent().isEmpty());
    rig.click(QStringLiteral("Command45"));

    // A failed send is reported; the display has moved all the same.
    rig.backend.failing.insert(QStringLiteral("SendChatText"));
    rig.window()->station().setDisplay(QStringLiteral("14.2000"));
    rig.click(QStringLiteral("Command55"));
    QCOMPARE(rig.mainText(QStringLiteral("Label4")), QStringLiteral("14.2100"));
    QVERIFY(!rig.status().isEmpty());
}

void PadTest::transmitButton()
{
    QTemporaryDir dir;
    PadRig rig(dir.path());
    QLabel *mainState = rig.find<QLabel>(QStringLiteral("Label3"));
    QLabel *padState = rig.inPad<QLabel>(QStringLiteral("Label3"));

    // No station and a quiet link: nothing at all.
    rig.window()->station().setStationCount(0);
    rig.click(QStringLiteral("Command1x"));
    QVERIFY(rig.backend.calls.isEmpty());
    QCOMPARE(padState->text(), QStringLiteral("Receive Mode"));
    QVERIFY(!rig.window()->station().transmitting());

    rig.window()->station().setStationCount(2);
    rig.click(QStringLiteral("Command1x"));
    QCOMPARE(rig.backend.callsOf(QStringLiteral("SetTransmit")).size(), 1);
    QCOMPARE(rig.backend.callsOf(QStringLiteral("SetTransmit")).first().argument, QStringLiteral("true"));
    QCOMPARE(rig.backend.callsOf(QStringLiteral("SetTransmit")).first().handle, kPadHandle);
    QVERIFY(rig.window()->station().transmitting());
    for (QLabel *state : {mainState, padState}) {
        QCOMPARE(state->text(), QStringLiteral("Transmitting"));
        QCOMPARE(rig.back(state, QPalette::Window), kRed);
    }

    rig.click(QStringLiteral("Command1x"));
    QCOMPARE(rig.backend.callsOf(QStringLiteral("SetTransmit")).last().argument, QStringLiteral("false"));
    QVERIFY(!rig.window()->station().transmitting());
    for (QLabel *state : {mainState, padState}) {
        QCOMPARE(state->text(), QStringLiteral("Receive Mode"));
        QVERIFY(rig.back(state, QPalette::Window) != kRed);
    }

    // A client that refuses: the indicators stay at what the client does, and the pad says why.
    rig.backend.failing.insert(QStringLiteral("SetTransmit"));
    rig.click(QStringLiteral("Command1x"));
    QVERIFY(!rig.window()->station().transmitting());
    QCOMPARE(padState->text(), QStringLiteral("Receive Mode"));
    QVERIFY(!rig.status().isEmpty());
}

void PadTest::transmitRequest()
{
    QTemporaryDir dir;
    PadRig rig(dir.path());
    QWidget *mainNotice = rig.find<QWidget>(QStringLiteral("Frame11"));
    QWidget *padNotice = rig.inPad<QWidget>(QStringLiteral("Frame11"));

    // The link's receive state reaches the pad's indicator.
    rig.backend.raiseRx(true);
    QLabel *padIndicator = rig.inPad<QLabel>(QStringLiteral("PTT1"));
    QCOMPARE(padIndicator->text(), QStringLiteral("IP  TX  ON"));
    QCOMPARE(rig.back(padIndicator, QPalette::Window), kRed);

    // A busy link takes a request, even with no station connected.
    rig.window()->station().setStationCount(0);
    rig.setMain(QStringLiteral("Text15"), QStringLiteral("3000"));
    rig.click(QStringLiteral("Command1x"));
    QCOMPARE(rig.backend.sent().size(), 1);
    QVERIFY(rig.backend.sent().first().endsWith(QStringLiteral(" CPT?")));
    QCOMPARE(rig.backend.callsOf(QStringLiteral("SendChatText")).first().handle, kPadHandle);
    QVERIFY(rig.backend.callsOf(QStringLiteral("SetTransmit")).isEmpty());
    QVERIFY(mainNotice->isVisibleTo(rig.window()));
    QVERIFY(padNotice->isVisibleTo(rig.pad()));
    QCOMPARE(rig.window()->timer(6)->interval(), 3000);
    QVERIFY(rig.window()->timer(6)->isActive());
    QVERIFY(rig.window()->timer(7)->isActive());

    // The wait over: both notices go.
    rig.window()->Timer6_Timer();
    QVERIFY(!mainNotice->isVisibleTo(rig.window()));
    QVERIFY(!padNotice->isVisibleTo(rig.pad()));
    QVERIFY(!rig.window()->timer(7)->isActive());

    // A wait that is no number keeps the last one and says so on the pad.
    rig.setMain(QStringLiteral("Text15"), QStringLiteral("soon"));
    rig.click(QStringLiteral("Command1x"));
    QCOMPARE(rig.window()->timer(6)->interval(), 3000);
    QVERIFY(rig.status().contains(QStringLiteral("soon")));

    rig.backend.raiseRx(false);
    QCOMPARE(padIndicator->text(), QStringLiteral("IP  TX  OFF"));
}

void PadTest::chatLine()
{
    QTemporaryDir dir;
    PadRig rig(dir.path());
    // The chat window's outgoing time stamps do not apply to the pad.
    rig.program().registry().control<QCheckBox>(QStringLiteral("Messages"), QStringLiteral("Check1"))->setChecked(true);
    auto *line = rig.inPad<QLineEdit>(QStringLiteral("TextTX"));
    line->setText(QStringLiteral("hello  there"));
    emit line->returnPressed();
    QCOMPARE(rig.backend.sent(), QStringList{QStringLiteral("hello  there")});
    QCOMPARE(rig.backend.callsOf(QStringLiteral("SendChatText")).first().handle, kPadHandle);
    QCOMPARE(rig.padLog(), QStringLiteral("XX1TST-L>:hello  there\n"));
    QVERIFY(rig.chatBox().contains(QStringLiteral("XX1TST-L>:hello  there")));
    // No coloured own tag ("XX1TST-L: ") and the chat window stays hidden.
    QVERIFY(!rig.chatBox().contains(QStringLiteral("XX1TST-L: ")));
    QVERIFY(!rig.chat()->isVisible());
    QVERIFY(line->text().isEmpty());

    // The Send button does the same; an empty line goes out as it is.
    rig.click(QStringLiteral("Send"));
    QCOMPARE(rig.backend.sent().size(), 2);
    QVERIFY(rig.backend.sent().last().isEmpty());
    QVERIFY(rig.padLog().endsWith(QStringLiteral("XX1TST-L>:\n")));

    // A line from the link reaches the pad's log without a time stamp.
    rig.program().registry().control<QCheckBox>(QStringLiteral("Messages"), QStringLiteral("Check2"))->setChecked(true);
    rig.backend.raiseChat(QStringLiteral("XX9XYZ-L>good evening"));
    QVERIFY(rig.padLog().endsWith(QStringLiteral("XX9XYZ-L>good evening\n")));
}

void PadTest::failedSendsKeepWhatWasTyped()
{
    QTemporaryDir dir;
    PadRig rig(dir.path());
    rig.backend.failing.insert(QStringLiteral("SendChatText"));

    for (const char *key : {"Command38", "Command46", "Command34"}) // 8 . 1
        rig.click(QLatin1String(key));
    rig.click(QStringLiteral("Command35"));
    QVERIFY(!rig.status().isEmpty());
    QCOMPARE(rig.padText(QStringLiteral("Text3")), QStringLiteral("8.1"));
    QCOMPARE(rig.mainText(QStringLiteral("Text3")), QStringLiteral("8.1"));
    QCOMPARE(rig.mainText(QStringLiteral("Text11")), QStringLiteral("8.1"));

    auto *line = rig.inPad<QLineEdit>(QStringLiteral("TextTX"));
    line->setText(QStringLiteral("anyone?"));
    rig.click(QStringLiteral("Send"));
    QCOMPARE(line->text(), QStringLiteral("anyone?"));
    QVERIFY(rig.padLog().isEmpty());
    QVERIFY(!rig.chatBox().contains(QStringLiteral("anyone?")));
    QVERIFY(rig.status().startsWith(QStringLiteral("Not sent")));

    // Once the client takes lines again, the same press goes through and clears the report.
    rig.backend.failing.clear();
    rig.backend.clearCalls();
    rig.click(QStringLiteral("Send"));
    QCOMPARE(rig.backend.sent(), QStringList{QStringLiteral("anyone?")});
    QVERIFY(rig.status().isEmpty());
    QVERIFY(line->text().isEmpty());

    // No client at all: the pad still loads, and its sends fail the same way.
    QTemporaryDir other;
    Rig none(other.path());
    none.backend.clientExists = false;
    QVERIFY(none.start());
    QWidget *pad = none.program().registry().window(QStringLiteral("Form3"));
    QVERIFY(pad);
    auto *noClientLine = none.program().registry().control<QLineEdit>(QStringLiteral("Form3"), QStringLiteral("TextTX"));
    noClientLine->setText(QStringLiteral("hello"));
    emit noClientLine->returnPressed();
    QCOMPARE(noClientLine->text(), QStringLiteral("hello"));
    QCOMPARE(pad->findChild<QLabel *>(QStringLiteral("StatusLine"))->text(),
             QStringLiteral("Not sent: EchoLink client not running"));
    QVERIFY(pad->findChild<QPlainTextEdit *>(QStringLiteral("RTB"))->toPlainText().isEmpty());
}

void PadTest::mainWindowWritesReachThePad()
{
    QTemporaryDir dir;
    PadRig rig(dir.path());
    rig.backend.stationCount = 1;
    rig.backend.transmitting = true;
    rig.setMain(QStringLiteral("Text1"), QStringLiteral("14.2300"));
    rig.window()->Timer3_Timer();
    QCOMPARE(rig.padText(QStringLiteral("Text1")), QStringLiteral("14.2300 MHz"));
    QCOMPARE(rig.inPad<QLabel>(QStringLiteral("Label3"))->text(), QStringLiteral("Transmitting"));
    QCOMPARE(rig.back(rig.inPad<QPushButton>(QStringLiteral("Command1x")), QPalette::Button), kRed);
    QVERIFY(rig.inPad<QWidget>(QStringLiteral("Frame13"))->isVisibleTo(rig.pad()));

    rig.backend.raiseStationText(QStringLiteral("XX9XYZ-L\rXX2ABC"));
    const QString list = rig.inPad<QTextEdit>(QStringLiteral("StationList"))->toPlainText();
    QVERIFY(list.contains(QStringLiteral("XX9XYZ-L")));
    QVERIFY(list.contains(QStringLiteral("XX2ABC")));
    // The same list again keeps what the operator is selecting in it.
    auto *stations = rig.inPad<QTextEdit>(QStringLiteral("StationList"));
    QTextCursor picking = stations->textCursor();
    picking.setPosition(list.indexOf(QStringLiteral("XX2ABC")));
    picking.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
    stations->setTextCursor(picking);
    rig.backend.raiseStationText(QStringLiteral("XX9XYZ-L\rXX2ABC"));
    QCOMPARE(stations->textCursor().selectedText(), QStringLiteral("XX2ABC"));

    // Nobody left: the list empties, receive mode, the meter frame goes.
    rig.backend.stationCount = 0;
    rig.backend.transmitting = false;
    rig.window()->Timer3_Timer();
    rig.window()->Timer3_Timer(); // the pad shows the frequency the tick before reset it
    QVERIFY(rig.inPad<QTextEdit>(QStringLiteral("StationList"))->toPlainText().isEmpty());
    QCOMPARE(rig.padText(QStringLiteral("Text1")), QStringLiteral("000.0000 MHz"));
    QCOMPARE(rig.inPad<QLabel>(QStringLiteral("Label3"))->text(), QStringLiteral("Receive Mode"));
    QVERIFY(!rig.inPad<QWidget>(QStringLiteral("Frame13"))->isVisibleTo(rig.pad()));
}

void PadTest::windowControls()
{
    QTemporaryDir dir;
    PadRig rig(dir.path());
    QWidget *pad = rig.pad();
    QVERIFY(pad);
    QVERIFY(!pad->isVisible());
    QCOMPARE(pad->windowTitle(), QStringLiteral("Remote Pad"));
    QVERIFY(pad->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    // The meter sits in the frame the supervision shows and hides.
    QCOMPARE(rig.inPad<GradH>(QStringLiteral("GradH1"))->parentWidget()->objectName(), QStringLiteral("Frame13"));

    // Picture8 on the main window shows the pad; x hides it.
    QTest::mouseClick(rig.find<QWidget>(QStringLiteral("Picture8")), Qt::LeftButton);
    QVERIFY(pad->isVisible());
    // It opens with the keys in its send line, not on a button ("x" would hide it at a space).
    QCOMPARE(pad->focusWidget(), rig.inPad<QWidget>(QStringLiteral("TextTX")));
    QVERIFY(pad->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    // Tab goes round the pad as it stands: down the window, the keypad row by row, then the
    // transmit box and the steps beside it.
    pad->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(pad));
    QCOMPARE(tabRound(), (QStringList{"TextTX", "Send", "Command2", "Command1", "Text3", "Command39", "Command38",
                                      "Command37", "Command42", "Command41", "Command40", "Command34", "Command44",
                                      "Command43", "Command36", "Command46", "Command45", "Command35", "Command1x",
                                      "Command53", "Command54", "Command52", "Command55", "Command49", "Command50",
                                      "Command48", "Command51", "StationList", "RTB"}));
    QVERIFY(rig.inPad<QPlainTextEdit>(QStringLiteral("RTB"))->textInteractionFlags() & Qt::TextSelectableByKeyboard);
    rig.click(QStringLiteral("Command1"));
    QVERIFY(!pad->isVisible());

    // A click in the chat log shows the chat window; selecting text to copy it, or the right
    // button for the menu, does not.
    pad->show();
    QWidget *log = rig.inPad<QPlainTextEdit>(QStringLiteral("RTB"))->viewport();
    QTest::mousePress(log, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(log, QPoint(60, 5));
    QTest::mouseRelease(log, Qt::LeftButton, {}, QPoint(60, 5));
    QTest::mouseRelease(log, Qt::RightButton);
    QVERIFY(!rig.chat()->isVisible());
    QTest::mouseClick(log, Qt::LeftButton);
    QVERIFY(rig.chat()->isVisible());

    // "Show Main Radio" swaps the pad for the main window.
    rig.window()->hide();
    rig.click(QStringLiteral("Command2"));
    QVERIFY(!pad->isVisible());
    QVERIFY(rig.window()->isVisible());
}

void PadTest::shutdownStopsThePadMeter()
{
    QTemporaryDir dir;
    PadRig rig(dir.path());
    auto *meter = rig.inPad<GradH>(QStringLiteral("GradH1"));
    meter->oRec_GotData(std::vector<qint16>(1024, 30000), 2048);
    QVERIFY(meter->level() > 0.5f);
    rig.window()->close();
    QCOMPARE(meter->level(), 0.0f);
}

namespace {

struct NoHost final : messaging::RemotePadHost {
    void appendToEntries(const QString &) override {}
    void clearEntries() override {}
};

// What a control shows: its text, whether it shows with its window, its background.
QString look(QWidget *w)
{
    QString text;
    if (auto *e = qobject_cast<QLineEdit *>(w))
        text = e->text();
    else if (auto *l = qobject_cast<QLabel *>(w))
        text = l->text();
    else if (auto *t = qobject_cast<QTextEdit *>(w))
        text = t->toPlainText();
    else if (auto *p = qobject_cast<QPlainTextEdit *>(w))
        text = p->toPlainText() + QStringLiteral(" in %1 paragraphs").arg(p->document()->blockCount());
    return QStringLiteral("%1 %2 %3 %4")
        .arg(text)
        .arg(w->isVisibleTo(w->window()))
        .arg(w->palette().color(QPalette::Window).name(), w->palette().color(QPalette::Button).name());
}

} // namespace

// The program builds the pad when it is first used. Whatever reached it before (chat lines,
// the frequency copy, the station list, a transmit cycle and a request from the main window,
// a refusal, the meter's level) shows then as on a pad built at load that saw the same.
void PadTest::builtOnFirstUseShowsWhatCameBefore()
{
    QTemporaryDir dir;
    PadRig rig(dir.path());
    auto *pad = static_cast<messaging::RemotePad *>(rig.pad());
    QVERIFY(!pad->findChild<QLineEdit *>());
    // The meter records from load on, built or not.
    auto *meter = pad->findChild<GradH *>(QStringLiteral("GradH1"));
    QVERIFY(meter->findChild<QTimer *>(QLatin1String(GradH::kReconnectTimerName))->isActive());

    // A pad built at once, wired as the program wires its own.
    messaging::RemotePad eager(rig.program().registry(), rig.clock, rig.window()->station(), std::make_unique<NoHost>());
    eager.Form_Load(nullptr);
    messaging::ChatWindow *chat = rig.program().chatWindow();
    connect(chat, &messaging::ChatWindow::incomingLine, &eager,
            [&eager](const QString &tag, const QString &, const QString &message) {
                eager.appendChatLog(tag + message + QLatin1String(messaging::chattexts::kCrLf));
            });
    connect(chat, &messaging::ChatWindow::ownLineSent, &eager, &messaging::RemotePad::appendChatLog);
    StationController &stations = rig.window()->stations();
    connect(&stations, &StationController::frequencyCopied, &eager, &messaging::RemotePad::showFrequency);
    connect(&stations, &StationController::stationListChanged, &eager, &messaging::RemotePad::showStationList);

    const QStringList lines = {QStringLiteral("XX9XYZ-L>one"), QStringLiteral("XX2ABC>two\rthree"),
                               QStringLiteral("XX9XYZ-L>") + QString(300, QLatin1Char('w'))};
    for (const QString &line : lines)
        rig.backend.raiseChat(line);
    rig.backend.stationCount = 1;
    rig.setMain(QStringLiteral("Text1"), QStringLiteral("14.2300"));
    rig.window()->Timer3_Timer();
    rig.backend.raiseStationText(QStringLiteral("XX9XYZ-L\rXX2ABC"));
    QPushButton *mainTransmit = rig.find<QPushButton>(QStringLiteral("Command1x"));
    for (int press = 0; press < 3; ++press) // keyed, released, keyed
        mainTransmit->click();
    rig.backend.raiseRx(true);
    mainTransmit->click(); // a request while the link talks
    QVERIFY(rig.window()->station().transmit().requestShown());
    pad->step(-50);
    eager.step(-50);
    meter->oRec_GotData(std::vector<qint16>(1024, 30000), 2048);
    QVERIFY(!pad->findChild<QLineEdit *>());

    // Looked up by name: built, with what it holds.
    QCOMPARE(rig.padText(QStringLiteral("Text1")), QStringLiteral("14.2300 MHz"));
    QCOMPARE(rig.inPad<GradH>(QStringLiteral("GradH1")), meter);
    QCOMPARE(meter->parentWidget()->objectName(), QStringLiteral("Frame13"));
    QVERIFY(meter->level() > 0.5f);
    QVERIFY(rig.padLog().startsWith(QStringLiteral("XX9XYZ-L>one\nXX2ABC>two\nthree\nXX9XYZ-L>www")));
    QCOMPARE(rig.inPad<QLabel>(QStringLiteral("Label3"))->text(), QStringLiteral("Transmitting"));
    QVERIFY(rig.inPad<QWidget>(QStringLiteral("Frame11"))->isVisibleTo(pad));
    QVERIFY(rig.status().startsWith(QStringLiteral("Not sent")));

    // A line after the build reaches both alike.
    rig.backend.raiseChat(QStringLiteral("XX2ABC>four"));
    pad->show();
    eager.show();
    const QStringList shape = test::windowShape(*pad);
    QCOMPARE(shape, test::windowShape(eager));
    // The meter and the log made at load stand where ones made with their neighbours would.
    QCOMPARE(shape.indexOf(QStringLiteral("GradH1:tavrin::GradH")), shape.indexOf(QStringLiteral("Frame13:QFrame")) + 1);
    const qsizetype log = shape.indexOf(QStringLiteral("RTB:QPlainTextEdit"));
    QVERIFY(shape.indexOf(QStringLiteral("StationList:QTextEdit")) < log);
    QVERIFY(log < shape.indexOf(QStringLiteral("TextTX:QLineEdit")));
    const QList<QWidget *> built = pad->findChildren<QWidget *>();
    const QList<QWidget *> atOnce = eager.findChildren<QWidget *>();
    QCOMPARE(built.size(), atOnce.size());
    for (qsizetype k = 0; k < built.size(); ++k) {
        const QString name = atOnce.at(k)->objectName() + QLatin1Char(' ');
        QCOMPARE(name + look(built.at(k)), name + look(atOnce.at(k)));
    }
}

QTEST_MAIN(PadTest)
#include "test_pad.moc"
