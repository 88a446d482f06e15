// Station supervision and station management of the main window: Timer3, Timer4, Timer5,
// the station events, node buttons, link toggles, Disconnect All and List Busy.
#include "CoreTestKit.h"

#include "core/PlatformNames.h"
#include "protocol/TimeTexts.h"
#include "core/WidgetColors.h"
#include "audio/GradH.h"
#include "ui/ReadableColors.h"

#include <QAbstractButton>
#include <QAccessible>

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

using namespace tavrin;
using namespace tavrin::test;

namespace {

const QString kSet1Node = QStringLiteral("XX9XYZ-L");

// The Remote Pad's controls that follow the main window.
struct RemotePad {
    QWidget *window;
    QLineEdit *text1;
    QTextEdit *stationList;
    QLabel *label3;
    QPushButton *command1x;
    QFrame *frame13;

    explicit RemotePad(Program &program) : window(program.registry().window(QStringLiteral("Form3")))
    {
        const QString pad = QStringLiteral("Form3");
        text1 = program.registry().control<QLineEdit>(pad, QStringLiteral("Text1"));
        stationList = program.registry().control<QTextEdit>(pad, QStringLiteral("StationList"));
        label3 = program.registry().control<QLabel>(pad, QStringLiteral("Label3"));
        command1x = program.registry().control<QPushButton>(pad, QStringLiteral("Command1x"));
        frame13 = program.registry().control<QFrame>(pad, QStringLiteral("Frame13"));
    }
};

// The program's own window when it has that field; otherwise a stand-in registered in its place.
struct NamedWindow {
    QWidget window;
    QLineEdit *field = nullptr;
    NamedWindow(Program &program, const char *windowName, const char *fieldName)
    {
        field = program.registry().control<QLineEdit>(QString::fromLatin1(windowName), QString::fromLatin1(fieldName));
        if (field)
            return;
        field = new QLineEdit(&window);
        window.setObjectName(QString::fromLatin1(windowName));
        field->setObjectName(QString::fromLatin1(fieldName));
        program.registry().add(&window);
    }
};

void click(QPushButton *b) { QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center()); }

QStringList argsOf(Rig &rig, const char *operation)
{
    QStringList args;
    for (const FakeCall &c : rig.backend.callsOf(QString::fromLatin1(operation)))
        args << c.argument;
    return args;
}

QString statusOf(Rig &rig) { return rig.find<QLabel>("StatusLine")->text(); }

} // namespace

class StationsTest : public QObject {
    Q_OBJECT
private slots:
    // --- Timer3: link supervision ---------------------------------------------------

    void noStationClearsTheDisplays()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        RemotePad pad(rig.program());
        auto *text1 = rig.find<QLineEdit>("Text1");
        auto *text2 = rig.find<QLineEdit>("Text2");
        auto *stations = rig.find<QTextEdit>("Text35");
        text1->setText(QStringLiteral("14.2300"));
        text2->setText(kSet1Node);
        setForeColor(text2, kBlue);
        stations->setPlainText(QStringLiteral("XX9XYZ-L"));
        pad.stationList->setPlainText(QStringLiteral("XX9XYZ-L"));

        rig.window()->Timer3_Timer();
        QCOMPARE(rig.find<QLabel>("NumStations")->text(), QStringLiteral("0"));
        QCOMPARE(text1->text(), QStringLiteral("000.0000"));
        QVERIFY(stations->toPlainText().isEmpty());
        QVERIFY(pad.stationList->toPlainText().isEmpty());
        QCOMPARE(text2->text(), kSet1Node); // keeps its callsign, only greyed
        QCOMPARE(foreColor(text2), kLightGrey);
        // The copies with unit are taken before the reset, and follow at the next tick.
        QCOMPARE(rig.find<QLineEdit>("Text12")->text(), QStringLiteral("14.2300 MHz"));
        QCOMPARE(pad.text1->text(), QStringLiteral("14.2300 MHz"));
        rig.window()->Timer3_Timer();
        QCOMPARE(rig.find<QLineEdit>("Text12")->text(), QStringLiteral("000.0000 MHz"));
        QCOMPARE(pad.text1->text(), QStringLiteral("000.0000 MHz"));
    }

    void stationCountFollowsTheClient()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        auto *text1 = rig.find<QLineEdit>("Text1");
        text1->setText(QStringLiteral("7.1450"));
        rig.backend.stationCount = 2;
        rig.window()->Timer3_Timer();
        QCOMPARE(rig.find<QLabel>("NumStations")->text(), QStringLiteral("2"));
        QCOMPARE(text1->text(), QStringLiteral("7.1450"));

        // A failed question keeps the last count, so nothing is cleared.
        rig.backend.failing.insert(QStringLiteral("StationCount"));
        rig.window()->Timer3_Timer();
        QCOMPARE(rig.find<QLabel>("NumStations")->text(), QStringLiteral("2"));
        QCOMPARE(text1->text(), QStringLiteral("7.1450"));
        QVERIFY(rig.window()->isVisible());
    }

    void transmitStateFollowsTheClient()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        RemotePad pad(rig.program());
        auto *label3 = rig.find<QLabel>("Label3");
        auto *button = rig.find<QPushButton>("Command1x");
        auto *meter = rig.find<QFrame>("Frame13");

        rig.backend.stationCount = 1;
        rig.backend.transmitting = true;
        rig.window()->Timer3_Timer();
        QVERIFY(rig.window()->station().transmitting());
        for (QLabel *l : {label3, pad.label3}) {
            QCOMPARE(l->text(), QStringLiteral("Transmitting"));
            QCOMPARE(backColor(l), kRed);
        }
        QCOMPARE(backColor(button), kRed);
        QCOMPARE(backColor(pad.command1x), kRed);
        QVERIFY(!meter->isHidden());
        QVERIFY(!pad.frame13->isHidden());

        rig.backend.transmitting = false;
        rig.window()->Timer3_Timer();
        QVERIFY(!rig.window()->station().transmitting());
        for (QLabel *l : {label3, pad.label3}) {
            QCOMPARE(l->text(), QStringLiteral("Receive Mode"));
            QCOMPARE(backColor(l), buttonFace());
        }
        QCOMPARE(backColor(button), kLightGrey);
        QCOMPARE(backColor(pad.command1x), kLightGrey);
        QVERIFY(meter->isHidden());
        QVERIFY(pad.frame13->isHidden());

        // A state the client does not confirm is overwritten; a failed question means "not
        // transmitting".
        rig.window()->station().setTransmitting(true);
        rig.backend.transmitting = true;
        rig.backend.failing.insert(QStringLiteral("IsTransmitting"));
        rig.window()->Timer3_Timer();
        QVERIFY(!rig.window()->station().transmitting());
        QCOMPARE(label3->text(), QStringLiteral("Receive Mode"));
        QVERIFY(meter->isHidden());
    }

    void darkDesktopKeepsColouredControlsReadable_data()
    {
        QTest::addColumn<bool>("turnsDarkLater");
        QTest::newRow("dark from the start") << false;
        QTest::newRow("turns dark while running") << true;
    }

    // A dark desktop: light text on the light-grey transmit button and a blue callsign on a
    // near-black field could not be read. The program's colours stay; the text around them
    // changes, also when the desktop turns dark after the windows were built.
    void darkDesktopKeepsColouredControlsReadable()
    {
        QFETCH(bool, turnsDarkLater);
        const QPalette light = QApplication::palette();
        QPalette dark = light;
        for (const auto &[role, colour] : {std::pair{QPalette::Window, QColor(0x35, 0x35, 0x35)},
                                           {QPalette::Base, QColor(0x20, 0x20, 0x20)},
                                           {QPalette::Button, QColor(0x45, 0x45, 0x45)},
                                           {QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0)},
                                           {QPalette::Text, QColor(0xe0, 0xe0, 0xe0)},
                                           {QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0)}})
            dark.setColor(role, colour);
        if (!turnsDarkLater)
            QApplication::setPalette(dark);
        const auto restore = qScopeGuard([&] { QApplication::setPalette(light); });
        const auto readable = [](QWidget *w) {
            return ui::contrastRatio(foreColor(w), backColor(w)) >= ui::kReadableContrast;
        };

        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        RemotePad pad(rig.program());
        QLabel status;
        ui::showFailureColour(&status, true);
        if (turnsDarkLater) {
            QVERIFY(rig.program().registry().control<QPlainTextEdit>(QStringLiteral("Messages"), QStringLiteral("RTB")));
            QApplication::setPalette(dark);
            QCoreApplication::sendPostedEvents(); // the windows hear of it
            QCOMPARE(rig.window()->palette().color(QPalette::Window), dark.color(QPalette::Window));
        }
        auto *button = rig.find<QPushButton>("Command1x");
        auto *text2 = rig.find<QLineEdit>("Text2");
        for (bool transmitting : {false, true, false}) {
            rig.backend.stationCount = 1;
            rig.backend.transmitting = transmitting;
            rig.window()->Timer3_Timer();
            QCOMPARE(backColor(button), transmitting ? kRed : kLightGrey);
            QVERIFY(readable(button));
            QVERIFY(readable(pad.command1x));
            QVERIFY(readable(rig.find<QLabel>("Label3")));
        }
        QCOMPARE(foreColor(text2), kBlue);
        QVERIFY(readable(text2));

        // The pictures under the panels: their dark parts stand out from the window.
        const QColor window = rig.window()->palette().color(QPalette::Window);
        for (const char *name : {"Picture5", "Picture6", "Picture1", "Picture4"}) {
            const QImage picture = rig.find<QLabel>(name)->pixmap().toImage();
            int standingOut = 0;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    standingOut += qAlpha(picture.pixel(x, y)) == 255
                                   && ui::contrastRatio(picture.pixelColor(x, y), window) >= ui::kReadableContrast;
            QVERIFY2(standingOut > picture.width() * picture.height() / 20, name);
        }

        // The chat window's black lines and blue tags.
        auto *chat = rig.program().registry().control<QPlainTextEdit>(QStringLiteral("Messages"), QStringLiteral("RTB"));
        QVERIFY(chat);
        const QColor base = chat->palette().color(QPalette::Base);
        for (const QColor &ink : {QColor(Qt::black), kBlue, kRed, chat->palette().color(QPalette::Text)})
            QVERIFY(ui::contrastRatio(ink, base) >= ui::kReadableContrast);

        // Status lines that report a failure in red.
        status.ensurePolished();
        QVERIFY(ui::contrastRatio(status.palette().color(QPalette::WindowText), status.palette().color(QPalette::Window))
                >= ui::kReadableContrast);
    }

    void supervisionWithoutClient()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        rig.backend.clientExists = false;
        QVERIFY(rig.start());
        rig.find<QLineEdit>("Text1")->setText(QStringLiteral("3.6950"));
        rig.window()->Timer3_Timer();
        rig.window()->Timer4_Timer();
        QCOMPARE(rig.find<QLabel>("NumStations")->text(), QStringLiteral("0"));
        QCOMPARE(rig.find<QLineEdit>("Text1")->text(), QStringLiteral("000.0000"));
        QCOMPARE(rig.find<QLabel>("Label3")->text(), QStringLiteral("Receive Mode"));
    }

    void nodeCaptionsFollowTheSets()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        rig.program().presetSet(2).NodeCall = QStringLiteral("XX2BBB-R");
        rig.window()->setSetOption(2, true);
        rig.window()->Timer3_Timer();
        QCOMPARE(rig.find<QPushButton>("Command29")->text(), kSet1Node);
        QCOMPARE(rig.find<QPushButton>("Command30")->text(), QStringLiteral("XX2BBB-R"));
        QCOMPARE(rig.find<QLabel>("NodeSelected")->text(), QStringLiteral("XX2BBB-R Node Data Selected"));

        // Any text as node call shows as typed, markup included.
        rig.program().presetSet(2).NodeCall = QStringLiteral("<b>XX2</b>");
        rig.window()->Timer3_Timer();
        QCOMPARE(rig.find<QLabel>("NodeSelected")->textFormat(), Qt::PlainText);
    }

    // --- Timer4: clock, node recognition, band captions, sound controls ---------------

    void clockShowsLocaleTimeAndDate()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        rig.clock.set(QDateTime(QDate(2024, 5, 4), QTime(14, 5, 9)));
        rig.window()->Timer4_Timer();
        const QString time = rig.find<QLabel>("Label2")->text();
        QCOMPARE(time, remote::defaultTimeText(QTime(14, 5, 9)));
        QVERIFY2(time.contains(QStringLiteral("05:09")), qPrintable(time));
        // No time-zone field: nothing after the seconds but an optional AM/PM marker.
        const QString tail = time.mid(time.indexOf(QStringLiteral("05:09")) + 5).trimmed();
        QVERIFY2(tail.isEmpty() || tail == QLocale::system().pmText(), qPrintable(time));
        QCOMPARE(rig.find<QLabel>("Label1x")->text(),
                 QLocale::system().toString(QDate(2024, 5, 4), QLocale::ShortFormat));
    }

    void nodeRecognitionTakesTheFirstLinkedSet()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        Program &p = rig.program();
        p.presetSet(2).NodeCall = QStringLiteral("XX2BBB");
        p.presetSet(3).NodeCall = QStringLiteral("xx3ccc-r"); // shown as stored, asked upper-cased
        p.presetSet(4).NodeCall = QStringLiteral("XX4DDD");
        rig.backend.connected = {QStringLiteral("XX3CCC-R"), QStringLiteral("XX4DDD")};
        auto *text2 = rig.find<QLineEdit>("Text2");
        text2->setText(QStringLiteral("XX5EEE"));

        // Two stations: no recognition at all.
        rig.backend.stationCount = 2;
        rig.window()->Timer3_Timer();
        rig.backend.clearCalls();
        rig.window()->Timer4_Timer();
        QVERIFY(argsOf(rig, "IsConnected").isEmpty());
        QCOMPARE(text2->text(), QStringLiteral("XX5EEE"));

        // Exactly one: sets asked in order until the first linked one.
        rig.backend.stationCount = 1;
        rig.window()->Timer3_Timer();
        rig.backend.clearCalls();
        rig.window()->Timer4_Timer();
        QCOMPARE(argsOf(rig, "IsConnected"), (QStringList{kSet1Node, "XX2BBB", "XX3CCC-R"}));
        QCOMPARE(text2->text(), QStringLiteral("xx3ccc-r"));
        QCOMPARE(foreColor(text2), kBlue);

        // None linked: Text2 stays as it was.
        rig.backend.connected.clear();
        text2->setText(QStringLiteral("XX5EEE"));
        rig.window()->Timer4_Timer();
        QCOMPARE(text2->text(), QStringLiteral("XX5EEE"));
    }

    void nodeRecognitionFailureIsReportedOnce()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        rig.backend.stationCount = 1;
        rig.window()->Timer3_Timer();
        rig.backend.failing.insert(QStringLiteral("IsConnected"));
        rig.backend.clearCalls();
        auto *text2 = rig.find<QLineEdit>("Text2");
        text2->setText(QStringLiteral("XX5EEE"));
        rig.window()->Timer4_Timer();
        // Every set is still asked; the first failure is what the status line says.
        QCOMPARE(argsOf(rig, "IsConnected").size(), 4);
        QVERIFY2(statusOf(rig).contains(kSet1Node), qPrintable(statusOf(rig)));
        QVERIFY(statusOf(rig).contains(QStringLiteral("IsConnected failed")));
        QCOMPARE(text2->text(), QStringLiteral("XX5EEE"));
        // The rest of the tick still ran.
        QVERIFY(!rig.find<QLabel>("Label2")->text().isEmpty());

        // Said once: the next ticks do not write it over what the status line says since, and
        // an answer leaves that alone.
        const QString failure = statusOf(rig);
        rig.window()->showStatus(QStringLiteral("something else"));
        rig.window()->Timer4_Timer();
        QCOMPARE(statusOf(rig), QStringLiteral("something else"));
        rig.backend.failing.clear();
        rig.window()->Timer4_Timer();
        QCOMPARE(statusOf(rig), QStringLiteral("something else"));
        // Failing anew is said anew, and goes once the question is answered again.
        rig.backend.failing.insert(QStringLiteral("IsConnected"));
        rig.window()->Timer4_Timer();
        QCOMPARE(statusOf(rig), failure);
        rig.backend.failing.clear();
        rig.window()->Timer4_Timer();
        QCOMPARE(statusOf(rig), QString());
    }

    void bandCaptionsFollowTheActiveSet()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        for (int b = 1; b <= 6; ++b) {
            rig.program().presetSet(1).Text(60 + b) = QStringLiteral("A%1").arg(b);
            rig.program().presetSet(3).Text(60 + b) = QStringLiteral("C%1").arg(b);
        }
        rig.window()->Timer4_Timer();
        QCOMPARE(rig.find<QPushButton>("Command11")->text(), QStringLiteral("A1"));
        QCOMPARE(rig.find<QPushButton>("Command16")->text(), QStringLiteral("A6"));
        rig.window()->setSetOption(3, true);
        rig.window()->Timer4_Timer();
        QCOMPARE(rig.find<QPushButton>("Command11")->text(), QStringLiteral("C1"));
        QCOMPARE(rig.find<QPushButton>("Command16")->text(), QStringLiteral("C6"));
    }

    void soundControlsOnlyInTheDefaultProgramDirectory()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        auto *vol = rig.find<QLabel>("Label5");
        auto *mic = rig.find<QLabel>("Label6");
        QAction *menu = rig.find<QMenu>("SoundDevice")->menuAction();

        // A first start keeps the program in its default place.
        rig.window()->Timer4_Timer();
        QVERIFY(!vol->isHidden() && !mic->isHidden() && menu->isVisible());

        struct {
            QLineEdit *field;
        } about{rig.program().registry().control<QLineEdit>(QStringLiteral("Form14"), QStringLiteral("ProgDir"))};
        QVERIFY(about.field);
        about.field->setText(platform::secondDefaultProgramDirectory());
        rig.window()->Timer4_Timer();
        QVERIFY(vol->isHidden() && mic->isHidden() && !menu->isVisible());

        // Exactly the default, trailing separator included.
        QString dirText = platform::defaultProgramDirectory();
        dirText.chop(1);
        about.field->setText(dirText);
        rig.window()->Timer4_Timer();
        QVERIFY(vol->isHidden());

        about.field->setText(platform::defaultProgramDirectory());
        rig.window()->Timer4_Timer();
        QVERIFY(!vol->isHidden() && !mic->isHidden() && menu->isVisible());
    }

    // --- Timer5 and the station events -------------------------------------------------

    void connectedStationShownInBlue()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        auto *text2 = rig.find<QLineEdit>("Text2");
        auto *timer5 = rig.find<QTimer>("Timer5");
        rig.window()->Timer3_Timer(); // no station: grey
        QCOMPARE(foreColor(text2), kLightGrey);

        // No configured node on the link: shown, no frequency question.
        rig.backend.raiseConnected(QStringLiteral("XX2ABC"), QStringLiteral("Name"), QStringLiteral("1.2.3.4"));
        QCOMPARE(text2->text(), QStringLiteral("XX2ABC"));
        QCOMPARE(foreColor(text2), kBlue);
        QVERIFY(!timer5->isActive());

        // With set 1's node linked: "FR?" 5 s later, once.
        rig.backend.connected = {kSet1Node};
        rig.backend.clearCalls();
        rig.backend.raiseConnected(QStringLiteral("xx3abc"));
        QCOMPARE(text2->text(), QStringLiteral("xx3abc")); // as received
        QVERIFY(timer5->isActive());
        QCOMPARE(timer5->interval(), 5000);
        QVERIFY(rig.backend.sent().isEmpty());
        rig.window()->Timer5_Timer();
        QCOMPARE(rig.backend.sent(), QStringList{"FR?"});
        QVERIFY(!timer5->isActive());
    }

    void connectedStationWhenTheQuestionFails()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        rig.backend.failing.insert(QStringLiteral("IsConnected"));
        rig.backend.clearCalls();
        rig.backend.raiseConnected(QStringLiteral("XX2ABC"));
        QCOMPARE(rig.find<QLineEdit>("Text2")->text(), QStringLiteral("XX2ABC"));
        QCOMPARE(argsOf(rig, "IsConnected").size(), 4);
        QVERIFY(!rig.find<QTimer>("Timer5")->isActive());
        QVERIFY(statusOf(rig).contains(QStringLiteral("IsConnected failed")));

        // A failing send of "FR?" is ignored and the timer still stops.
        rig.backend.failing.insert(QStringLiteral("SendChatText"));
        rig.find<QTimer>("Timer5")->start();
        rig.window()->Timer5_Timer();
        QVERIFY(!rig.find<QTimer>("Timer5")->isActive());
    }

    void stationTextCarriageReturns()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        RemotePad pad(rig.program());
        auto *list = rig.find<QTextEdit>("Text35");
        rig.backend.raiseStationText(QStringLiteral("XX9XYZ-L\rXX2ABC"));
        // Every CR ends a line and one line end is appended.
        QCOMPARE(list->toPlainText(), QStringLiteral("XX9XYZ-L\nXX2ABC\n"));
        QCOMPARE(pad.stationList->toPlainText(), list->toPlainText());
        // The same list again keeps what the operator is selecting in it.
        QTextCursor selecting = list->textCursor();
        selecting.setPosition(9);
        selecting.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        list->setTextCursor(selecting);
        rig.backend.raiseStationText(QStringLiteral("XX9XYZ-L\rXX2ABC"));
        QCOMPARE(list->textCursor().selectedText(), QStringLiteral("XX2ABC"));
        // The whole content is replaced, not appended to.
        rig.backend.raiseStationText(QStringLiteral("XX7QRP"));
        QCOMPARE(list->toPlainText(), QStringLiteral("XX7QRP\n"));
        QCOMPARE(pad.stationList->toPlainText(), QStringLiteral("XX7QRP\n"));
        // A hostile station text: an endless word shows cut and in short paragraphs, a NUL
        // as a visible mark, markup as typed.
        rig.backend.raiseStationText(QStringLiteral("<b>X</b>") + QChar(0) + QString(64 * 1024, QLatin1Char('a')));
        const QString shown = list->toPlainText();
        QVERIFY(shown.startsWith(QStringLiteral("<b>X</b>\uFFFDaaa")));
        QVERIFY(shown.contains(QStringLiteral("more characters not shown)")));
        for (const QString &paragraph : shown.split(QLatin1Char('\n')))
            QVERIFY(paragraph.size() <= 2048);
        QCOMPARE(pad.stationList->toPlainText(), shown);
        // A conference with a thousand stations: every one of them is listed.
        QStringList many;
        for (int i = 0; i < 1000; ++i)
            many << QStringLiteral("XX%1AB-L  Operator %1").arg(i);
        rig.backend.raiseStationText(many.join(QLatin1Char('\r')));
        QCOMPARE(list->toPlainText(), many.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        QCOMPARE(pad.stationList->toPlainText(), list->toPlainText());
    }

    // --- node buttons ---------------------------------------------------------------------

    void nodeButtonWithEmptyCaption()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        NamedWindow sysop(rig.program(), "Form126", "Text2");
        sysop.field->setText(QStringLiteral("XX8OLD"));
        rig.window()->Timer3_Timer(); // captions from the sets: set 2 has no node
        rig.backend.clearCalls();
        click(rig.find<QPushButton>("Command30"));
        QVERIFY(argsOf(rig, "IsConnected").isEmpty());
        QVERIFY(argsOf(rig, "Connect").isEmpty());
        QVERIFY(sysop.field->text().isEmpty());
        QVERIFY(rig.find<QRadioButton>("Option2x")->isChecked());
        QCOMPARE(rig.window()->activeSet(), 2);
        QVERIFY(readFile(dir.filePath("TVRradio.ini")).contains("Option2x=True"));
    }

    void nodeButtonForALinkedNode()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        NamedWindow sysop(rig.program(), "Form126", "Text2");
        rig.window()->setSetOption(3, true);
        rig.window()->Timer3_Timer();
        const QString before = rig.find<QLabel>("NodeSelected")->text();
        rig.backend.connected = {kSet1Node};
        rig.backend.clearCalls();
        click(rig.find<QPushButton>("Command29"));
        QCOMPARE(argsOf(rig, "IsConnected"), QStringList{kSet1Node});
        QVERIFY(argsOf(rig, "Connect").isEmpty());
        QCOMPARE(rig.find<QLabel>("NodeSelected")->text(), before);
        QCOMPARE(sysop.field->text(), kSet1Node);
        QCOMPARE(rig.window()->activeSet(), 1);
        QVERIFY(readFile(dir.filePath("TVRradio.ini")).contains("Option1x=True"));
    }

    void nodeButtonLinksAnUnlinkedNode()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        NamedWindow sysop(rig.program(), "Form126", "Text2");
        rig.program().presetSet(3).NodeCall = QStringLiteral("xx3ccc-r");
        rig.window()->Timer3_Timer();
        rig.backend.clearCalls();
        click(rig.find<QPushButton>("Command31"));
        QCOMPARE(argsOf(rig, "IsConnected"), QStringList{"XX3CCC-R"});
        QCOMPARE(argsOf(rig, "Connect"), QStringList{"XX3CCC-R"});
        QCOMPARE(rig.find<QLabel>("NodeSelected")->text(), QStringLiteral("XX3CCC-R"));
        QCOMPARE(sysop.field->text(), QStringLiteral("xx3ccc-r")); // the caption as it stands
        QCOMPARE(rig.window()->activeSet(), 3);

        // A failing Connect is said in the status line; the rest still happens.
        rig.backend.failing.insert(QStringLiteral("Connect"));
        rig.find<QLabel>("NodeSelected")->clear();
        click(rig.find<QPushButton>("Command29"));
        QCOMPARE(rig.find<QLabel>("NodeSelected")->text(), kSet1Node);
        QCOMPARE(rig.window()->activeSet(), 1);
        QVERIFY(statusOf(rig).startsWith(QStringLiteral("Could not link ") + kSet1Node));
        // So is the link toggle's.
        rig.find<QLabel>("StatusLine")->clear();
        click(rig.find<QPushButton>("Command20"));
        QVERIFY(statusOf(rig).startsWith(QStringLiteral("Could not link ") + kSet1Node));
    }

    void nodeButtonWhenTheQuestionFails()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        rig.window()->Timer3_Timer();
        rig.backend.failing.insert(QStringLiteral("IsConnected"));
        rig.backend.clearCalls();
        click(rig.find<QPushButton>("Command29"));
        // Not knowing, it does not link; the set still becomes active and is saved.
        QVERIFY(argsOf(rig, "Connect").isEmpty());
        QVERIFY(statusOf(rig).contains(QStringLiteral("IsConnected failed")));
        QCOMPARE(rig.window()->activeSet(), 1);
        QVERIFY(readFile(dir.filePath("TVRradio.ini")).contains("Option1x=True"));
    }

    // --- link toggles, Disconnect All, List Busy ------------------------------------------

    void linkTogglePressedTwice()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        rig.window()->setSetOption(2, true);
        rig.window()->Timer3_Timer();
        rig.backend.connected = {kSet1Node};
        rig.backend.clearCalls();
        auto *toggle = rig.find<QPushButton>("Command20");
        click(toggle);
        QCOMPARE(argsOf(rig, "Disconnect"), QStringList{kSet1Node});
        QVERIFY(argsOf(rig, "Connect").isEmpty());

        rig.backend.connected.clear();
        click(toggle);
        QCOMPARE(argsOf(rig, "Connect"), QStringList{kSet1Node});
        QCOMPARE(rig.find<QLabel>("NodeSelected")->text(), kSet1Node);
        QCOMPARE(rig.window()->activeSet(), 2); // the active set does not change

        // A toggle without a node does nothing, nor one whose node is only blanks; blanks
        // typed around a node call are no part of it.
        rig.backend.clearCalls();
        click(rig.find<QPushButton>("Command33"));
        QVERIFY(rig.backend.calls.isEmpty());
        rig.program().presetSet(2).NodeCall = QStringLiteral("  ");
        rig.program().presetSet(3).NodeCall = QStringLiteral(" xx3ccc-r ");
        rig.window()->Timer3_Timer();
        rig.backend.clearCalls();
        click(rig.find<QPushButton>("Command33"));
        QVERIFY(rig.backend.calls.isEmpty());
        click(rig.find<QPushButton>("Command68"));
        QCOMPARE(argsOf(rig, "IsConnected"), QStringList{"XX3CCC-R"});
        QCOMPARE(argsOf(rig, "Connect"), QStringList{"XX3CCC-R"});
    }

    void linkToggleFailuresAreReported()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        rig.window()->Timer3_Timer();
        rig.backend.connected = {kSet1Node};
        rig.backend.failing.insert(QStringLiteral("Disconnect"));
        click(rig.find<QPushButton>("Command20"));
        QVERIFY(statusOf(rig).contains(QStringLiteral("Disconnect failed")));
        QVERIFY(statusOf(rig).contains(kSet1Node));

        rig.backend.failing = {QStringLiteral("IsConnected")};
        rig.backend.clearCalls();
        click(rig.find<QPushButton>("Command20"));
        QVERIFY(statusOf(rig).contains(QStringLiteral("IsConnected failed")));
        QVERIFY(argsOf(rig, "Connect").isEmpty());
        QVERIFY(argsOf(rig, "Disconnect").isEmpty());
    }

    void disconnectAll()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        click(rig.find<QPushButton>("Command72"));
        QCOMPARE(rig.backend.callsOf(QStringLiteral("DisconnectAll")).size(), 1);
        QVERIFY(statusOf(rig).isEmpty());
        rig.backend.failing.insert(QStringLiteral("DisconnectAll"));
        click(rig.find<QPushButton>("Command72"));
        QVERIFY(statusOf(rig).contains(QStringLiteral("DisconnectAll failed")));
    }

    // A screen reader says what each control is: every control the operator can reach or click
    // in the main window, the Remote Pad and the chat window has a name, pictures and meters too.
    void everyControlHasAName()
    {
#if QT_CONFIG(accessibility)
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        // A picture is offered as a button, and pressing it does what a click does.
        QAccessibleInterface *chooser = QAccessible::queryAccessibleInterface(rig.find<QWidget>("Picture6"));
        QCOMPARE(chooser->role(), QAccessible::Button);
        chooser->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(rig.find<QWidget>("Frame10")->isVisible());
        for (const char *panel : {"Frame3", "Frame9", "Frame2", "Frame8", "Frame4", "Frame10"})
            rig.find<QWidget>(panel)->show();
        QStringList unnamed;
        for (const char *name : {"Form2", "Form3", "Messages"}) {
            QWidget *window = rig.program().registry().window(QString::fromLatin1(name));
            QVERIFY2(window, name);
            window->show();
            for (const char *panel : {"PrivatePanel", "FilterPanel"})
                if (auto *hidden = window->findChild<QWidget *>(QString::fromLatin1(panel)))
                    hidden->show();
            for (QWidget *w : window->findChildren<QWidget *>()) {
                const bool meter = qobject_cast<GradH *>(w);
                const bool reachable = w->isVisible() && w->isEnabled()
                    && (w->focusPolicy() != Qt::NoFocus || qobject_cast<QAbstractButton *>(w)
                        || w->cursor().shape() == Qt::PointingHandCursor);
                if ((meter || reachable) && !w->objectName().startsWith(QLatin1String("qt_"))
                    && QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).trimmed().isEmpty())
                    unnamed << QStringLiteral("%1.%2 (%3)").arg(QLatin1String(name), w->objectName(),
                                                                QLatin1String(w->metaObject()->className()));
            }
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1String(", "))));
        // The large display reads as the frequency it shows.
        const QString display = QAccessible::queryAccessibleInterface(rig.find<QLabel>("Label4"))->text(QAccessible::Name);
        QVERIFY2(display.contains(rig.find<QLabel>("Label4")->text()) && display.contains(QLatin1String("MHz")),
                 qPrintable(display));
        // A meter reads as its level.
        auto *meter = rig.find<GradH>(QString::fromLatin1(kMeterName));
        meter->oRec_GotData(std::vector<qint16>{16384, 0}, 4);
        QCOMPARE(QAccessible::queryAccessibleInterface(meter)->valueInterface()->currentValue().toInt(), 50);
#endif
    }

    void listBusyFollowsTheClient()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        auto *label = rig.find<QLabel>("Label10");
        QVERIFY(label->isHidden());
        rig.trigger("ListBusy");
        QVERIFY(!label->isHidden());
        QCOMPARE(argsOf(rig, "SetBusy"), QStringList{"true"});

        // A refused request changes nothing, in either direction.
        rig.backend.failing.insert(QStringLiteral("SetBusy"));
        rig.trigger("ListBusy");
        QVERIFY(!label->isHidden());
        QVERIFY(statusOf(rig).contains(QStringLiteral("SetBusy failed")));
        rig.backend.failing.clear();
        rig.trigger("ListBusy");
        QVERIFY(label->isHidden());
        QCOMPARE(statusOf(rig), QString()); // the failure went with the request that worked
        QCOMPARE(argsOf(rig, "SetBusy"), (QStringList{"true", "false", "false"}));
        rig.backend.failing.insert(QStringLiteral("SetBusy"));
        rig.trigger("ListBusy");
        QVERIFY(label->isHidden());
    }
};

QTEST_MAIN(StationsTest)
#include "test_stations.moc"
