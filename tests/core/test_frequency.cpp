// Band and frequency selection on the main window: band buttons, presets across sets and
// bands, both keypads, Enter, steps, user frequencies, and what a failed send leaves behind.
#include "CoreTestKit.h"

#include "core/CoreTexts.h"
#include "core/FrequencyController.h"
#include "settings/PresetSet.h"
#include "settings/UserButtonEditor.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTimer>

using namespace tavrin;
using namespace tavrin::test;

namespace {

// The program with its polling timers held still, so only the test moves the fields.
struct FrequencyRig : Rig {
    explicit FrequencyRig(const QString &dir) : Rig(dir)
    {
        QVERIFY(start());
        find<QTimer>(QStringLiteral("Timer3"))->stop();
        find<QTimer>(QStringLiteral("Timer4"))->stop();
        backend.clearCalls();
    }
    void press(const QString &name) { find<QPushButton>(name)->click(); }
    QString text(const QString &name)
    {
        if (auto *e = window()->findChild<QLineEdit *>(name))
            return e->text();
        return find<QLabel>(name)->text();
    }
    void setText(const QString &name, const QString &value)
    {
        if (auto *e = window()->findChild<QLineEdit *>(name))
            e->setText(value);
        else
            find<QLabel>(name)->setText(value);
    }
    QString status() { return find<QLabel>(QStringLiteral("StatusLine"))->text(); }
    QStringList captions()
    {
        QStringList out;
        for (int n = 1; n <= 10; ++n)
            out << find<QPushButton>(QStringLiteral("Command%1").arg(n))->text();
        return out;
    }
};

// Keypad digit buttons, indexed by digit.
const int kKeypad1[10] = {36, 34, 44, 43, 42, 41, 40, 39, 38, 37};
const int kKeypad2[10] = {67, 56, 61, 60, 59, 58, 57, 65, 64, 63};

QString cmd(int n) { return QStringLiteral("Command%1").arg(n); }

const QString kLineAt0907 = QStringLiteral(" MHz  -  09:05:07");

} // namespace

class FrequencyTest : public QObject {
    Q_OBJECT
private slots:
    void bandButtonsFillThePresets()
    {
        QTemporaryDir dir;
        FrequencyRig rig(dir.path());
        QCOMPARE(rig.captions(), (QStringList{"1.8500", "1.8750", "1.8950", "1.9250", "1.9450", "", "", "", "", ""}));

        rig.press(cmd(14)); // 20 m
        QVERIFY(rig.find<QWidget>("Frame3")->isVisibleTo(rig.window()));
        QVERIFY(rig.find<QRadioButton>("Option4")->isChecked());
        QCOMPARE(rig.captions().first(), QStringLiteral("14.1600"));
        QCOMPARE(rig.captions().at(8), QStringLiteral("14.3450"));
        auto *panelTimer = rig.find<QTimer>("Timer2");
        QVERIFY(panelTimer->isActive());
        QCOMPARE(panelTimer->interval(), 10000);
        QVERIFY(readFile(dir.filePath("TVRradio.ini")).contains(QStringLiteral("Option4=True")));
        QVERIFY(rig.backend.sent().isEmpty());
    }

    void longCaptionsKeepTheWindowOnScreen()
    {
        // The main window and the panels in it, as wide as they ask to be once laid out.
        const auto widths = [](FrequencyRig &rig) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QList<QWidget *> boxes{rig.window(), rig.find<QLabel>("Label4")->parentWidget()};
            for (const char *name : {"Frame3", "Frame4", "BandFrame", "NodeFrame"})
                boxes << rig.find<QWidget>(name);
            QList<int> result;
            for (QWidget *w : boxes)
                result << qMax(w->sizeHint().width(), w->minimumSizeHint().width());
            return result;
        };
        QList<int> usual;
        {
            QTemporaryDir dir;
            FrequencyRig rig(dir.path());
            usual = widths(rig);
        }
        // Captions from the files, not typed: presets' texts, a band label, a node call and a
        // user button's caption of the longest a file gives back.
        QTemporaryDir dir;
        const QString longText(264, QChar('W'));
        ProfileStore store(dir.path());
        KeyValues presets;
        for (int i = 1; i <= 10; ++i)
            presets.append({QStringLiteral("TEXT%1").arg(i), longText});
        presets.append({QStringLiteral("NodeCall"), longText});
        presets.append({QStringLiteral("TEXT61"), longText});
        QVERIFY(store.writeBatch(QStringLiteral("TVRset1.ini"), presets));
        QVERIFY(store.writeBatch(QStringLiteral("TVRbuttons.ini"), {{QStringLiteral("TEXT1"), longText}}));
        FrequencyRig rig(dir.path());
        rig.press(cmd(11));
        rig.program().userButtonEditor()->Timer1_Timer();
        rig.window()->refreshNodeCaptions();
        rig.window()->Timer4_Timer(); // band labels
        rig.setText("Text7", longText);
        rig.press(cmd(23)); // the large display shows it
        QCOMPARE(rig.captions().first(), longText); // the caption itself is whole
        QCOMPARE(rig.find<QPushButton>("Command81")->text(), longText);
        // Long texts widen nothing much past what the usual captions ask for (unbounded, they
        // made the window thousands of pixels wide): it stays on the screen it was made for,
        // whatever the fonts.
        const QList<int> now = widths(rig);
        for (qsizetype k = 0; k < now.size(); ++k)
            QVERIFY2(now.at(k) <= usual.at(k) + usual.at(k) / 4 + 60, qPrintable(QStringLiteral("box %1: %2 against %3").arg(k).arg(now.at(k)).arg(usual.at(k))));
    }

    void presetIndexAcrossSetsAndBands()
    {
        QTemporaryDir dir;
        FrequencyRig rig(dir.path());

        // Set 1, 160 m: the third preset.
        rig.find<QWidget>("Frame3")->setVisible(true);
        rig.press(cmd(3));
        QCOMPARE(rig.backend.sent(), QStringList{"FN1.8950"});
        QCOMPARE(rig.text("Text1"), QStringLiteral("1.8950"));
        QCOMPARE(rig.text("Label4"), QStringLiteral("1.8950"));
        QVERIFY(!rig.find<QWidget>("Frame3")->isVisibleTo(rig.window()));

        // Set 2, 15 m, preset 1 is index 51. The options count at the press, the captions
        // (still 160 m of set 1) do not.
        PresetSet &set2 = rig.program().presetSet(2);
        set2.Text(51) = QStringLiteral("21.3000");
        set2.Texta(51) = QStringLiteral("FN21.3000 set2");
        set2.Text(41) = QStringLiteral("wrong band");
        set2.Text(52) = QStringLiteral("wrong preset");
        rig.window()->setSetOption(2, true);
        rig.window()->setBandOption(6, true);
        QCOMPARE(rig.captions().first(), QStringLiteral("1.8500"));
        rig.press(cmd(1));
        QCOMPARE(rig.backend.sent().last(), QStringLiteral("FN21.3000 set2"));
        QCOMPARE(rig.text("Text1"), QStringLiteral("21.3000"));

        // Set 4, 40 m, preset 10 is index 30; an empty command goes out as an empty line.
        PresetSet &set4 = rig.program().presetSet(4);
        set4.Text(30) = QStringLiteral("<7.199 usb>");
        rig.window()->setSetOption(4, true);
        rig.window()->setBandOption(3, true);
        rig.press(cmd(10));
        QCOMPARE(rig.backend.sent().last(), QString());
        QCOMPARE(rig.text("Text1"), QStringLiteral("<7.199 usb>"));
        QCOMPARE(rig.text("Label4"), QStringLiteral("7.199")); // UpdateFrequencyDisplay

        // No band selected: nothing is sent, and the status line says why.
        rig.window()->setBandOption(3, false);
        const int before = rig.backend.sent().size();
        rig.press(cmd(1));
        QCOMPARE(rig.backend.sent().size(), before);
        QVERIFY(!rig.status().isEmpty());
    }

    void keypadsWriteBothEntries()
    {
        QTemporaryDir dir;
        FrequencyRig rig(dir.path());
        for (int d = 0; d <= 9; ++d) {
            rig.press(cmd(kKeypad1[d]));
            QVERIFY(rig.text("Text3").endsWith(QString::number(d)));
            QVERIFY(rig.text("Text11").endsWith(QString::number(d)));
            rig.press(cmd(kKeypad2[d]));
            QVERIFY(rig.text("Text3").endsWith(QStringLiteral("%1%1").arg(d)));
            QVERIFY(rig.text("Text11").endsWith(QStringLiteral("%1%1").arg(d)));
        }
        rig.press(cmd(45)); // C of keypad 1 empties both
        QVERIFY(rig.text("Text3").isEmpty() && rig.text("Text11").isEmpty());

        // Point rule, decided by Text3 for both fields.
        rig.press(cmd(kKeypad1[1]));
        rig.press(cmd(kKeypad1[4]));
        rig.press(cmd(46));
        rig.press(cmd(62));
        QCOMPARE(rig.text("Text3"), QStringLiteral("14."));
        QCOMPARE(rig.text("Text11"), QStringLiteral("14."));
        rig.press(cmd(66)); // C of keypad 2 empties both
        QVERIFY(rig.text("Text3").isEmpty() && rig.text("Text11").isEmpty());
        rig.press(cmd(46));
        rig.press(cmd(62));
        rig.press(cmd(46));
        QCOMPARE(rig.text("Text3"), QStringLiteral(".."));
        // Text11 has its own text but follows Text3's rule.
        rig.press(cmd(66));
        rig.setText("Text11", QStringLiteral("7.1"));
        rig.press(cmd(62));
        QCOMPARE(rig.text("Text11"), QStringLiteral("7.1."));
        QVERIFY(rig.backend.sent().isEmpty());
    }

    void enterSendsTheCommandLine()
    {
        QTemporaryDir dir;
        FrequencyRig rig(dir.path());
        for (int d : {1, 4})
            rig.press(cmd(kKeypad1[d]));
        rig.press(cmd(46));
        for (int d : {2, 3})
            rig.press(cmd(kKeypad1[d]));
        rig.press(cmd(35));
        QCOMPARE(rig.text("Label4"), QStringLiteral("14.23"));
        QCOMPARE(rig.text("Text1"), QStringLiteral("14.2300"));
        QCOMPARE(rig.backend.sent(), QStringList{"FN14.2300" + kLineAt0907});
        QVERIFY(rig.text("Text3").isEmpty() && rig.text("Text11").isEmpty());

        // Keypad 2's Enter takes Text11.
        rig.setText("Text3", QStringLiteral("ignored"));
        rig.setText("Text11", QStringLiteral("7.1"));
        rig.press(cmd(69));
        QCOMPARE(rig.text("Label4"), QStringLiteral("7.1"));
        QCOMPARE(rig.backend.sent().last(), "FN7.1000" + kLineAt0907);
        QVERIFY(rig.text("Text3").isEmpty());

        // Text that is no frequency above 0 MHz is refused: nothing sent or changed, the
        // entry kept, the reason shown.
        for (const char *typed : {"..", "0", "-3", "abc", "0,0"}) {
            rig.setText("Text11", QLatin1String(typed));
            rig.press(cmd(69));
            QCOMPARE(rig.backend.sent().size(), 2);
            QCOMPARE(rig.text("Text11"), QLatin1String(typed));
            QCOMPARE(rig.text("Label4"), QStringLiteral("7.1"));
            QVERIFY2(rig.status().contains(QLatin1String(typed)), qPrintable(rig.status()));
        }

        // The next line that goes out clears the refusal, but not a status written since by
        // something else.
        rig.setText("Text11", QStringLiteral("7.2"));
        rig.press(cmd(69));
        QCOMPARE(rig.backend.sent().size(), 3);
        QCOMPARE(rig.status(), QString());
        rig.setText("Text11", QStringLiteral("abc"));
        rig.press(cmd(69));
        rig.window()->showStatus(QStringLiteral("Station linked"));
        rig.setText("Text11", QStringLiteral("7.1"));
        rig.press(cmd(69));
        QCOMPARE(rig.backend.sent().size(), 4);
        QCOMPARE(rig.status(), QStringLiteral("Station linked"));

        // More decimals than go out: the display shows what was sent, not what was typed.
        rig.setText("Text11", QStringLiteral("7.12345"));
        rig.press(cmd(69));
        QCOMPARE(rig.backend.sent().last(), "FN7.1235" + kLineAt0907);
        QCOMPARE(rig.text("Label4"), QStringLiteral("7.1235"));
        rig.setText("Text11", QStringLiteral("7.100000"));
        rig.press(cmd(69));
        QCOMPARE(rig.text("Label4"), QStringLiteral("7.100000")); // same value: as typed
        QCOMPARE(rig.backend.sent().size(), 6);

        // A decimal comma counts as the point, and the line carries a point; Return in an
        // entry field is its keypad's Enter; a pasted line end is a blank.
        rig.setText("Text11", QStringLiteral("14,23"));
        rig.press(cmd(69));
        QCOMPARE(rig.backend.sent().last(), "FN14.2300" + kLineAt0907);
        QCOMPARE(rig.text("Label4"), QStringLiteral("14.23"));
        QApplication::clipboard()->setText(QStringLiteral("7.1\n")); // pasted with its line end
        QTest::keySequence(rig.find<QLineEdit>("Text3"), QKeySequence::Paste);
        QTest::keyClick(rig.find<QLineEdit>("Text3"), Qt::Key_Return);
        QCOMPARE(rig.backend.sent().last(), "FN7.1000" + kLineAt0907);
        QTest::keyClicks(rig.find<QLineEdit>("Text11"), "7.100000");
        QTest::keyClick(rig.find<QLineEdit>("Text11"), Qt::Key_Return);
        QCOMPARE(rig.backend.sent().size(), 9);

        // An empty entry sends nothing and still clears the other field.
        rig.setText("Text3", QString());
        rig.setText("Text11", QStringLiteral("7"));
        rig.press(cmd(35));
        QCOMPARE(rig.backend.sent().size(), 9);
        QVERIFY(rig.text("Text11").isEmpty());
        QCOMPARE(rig.text("Label4"), QStringLiteral("7.100000"));
    }

    void stepsFromTheDisplay()
    {
        QTemporaryDir dir;
        FrequencyRig rig(dir.path());
        // Command48 ... Command55 from 14.2000.
        const QStringList expected = {"14.1950", "14.1999", "14.1990", "14.1900",
                                      "14.2050", "14.2001", "14.2010", "14.2100"};
        for (int i = 0; i < 8; ++i) {
            rig.window()->station().setDisplay(QStringLiteral("14.2000"));
            rig.press(cmd(48 + i));
            QCOMPARE(rig.text("Label4"), expected.at(i));
            QCOMPARE(rig.text("Text1"), expected.at(i));
            QCOMPARE(rig.backend.sent().last(), "FN" + expected.at(i) + kLineAt0907);
        }

        rig.window()->station().setDisplay(QStringLiteral("7.0000"));
        rig.press(cmd(49));
        QCOMPARE(rig.text("Label4"), QStringLiteral("6.9999"));

        // A typed display ("14.23") is read as a number and formatted.
        rig.window()->station().setDisplay(QStringLiteral("14.23"));
        rig.press(cmd(52));
        QCOMPARE(rig.text("Label4"), QStringLiteral("14.2350"));
        rig.window()->station().setDisplay(QStringLiteral("14,24")); // a preset's text with a comma
        rig.press(cmd(52));
        QCOMPARE(rig.backend.sent().last(), "FN14.2450" + kLineAt0907);

        // No step from a display that holds no frequency (the start-up "000.0000"
        // included), nor to 0 MHz or below: nothing changes, the status line says why.
        const qsizetype sent = rig.backend.sent().size();
        for (const auto &[from, button] : {std::pair{"000.0000", 52}, {"000.0000", 48}, {"14.2 USB", 55}, {".0030", 48}}) {
            rig.window()->station().setDisplay(QLatin1String(from));
            rig.setText("Text1", QStringLiteral("kept"));
            rig.find<QLabel>("StatusLine")->clear();
            rig.press(cmd(button));
            QCOMPARE(rig.text("Label4"), QLatin1String(from));
            QCOMPARE(rig.text("Text1"), QStringLiteral("kept"));
            QVERIFY(rig.status().startsWith(QLatin1String("Not sent")));
        }
        QCOMPARE(rig.backend.sent().size(), sent);
    }

    // Over a slow link the report of one step arrives after the next step went out: it must
    // not set the display back, or the third step would start from the first.
    void reportsCatchingUpWithSteps()
    {
        QTemporaryDir dir;
        FrequencyRig rig(dir.path());
        rig.window()->station().setDisplay(QStringLiteral("14.2000"));
        rig.press(cmd(54)); // +1kHz: 14.2010
        rig.press(cmd(54)); // 14.2020
        rig.backend.raiseChat(QStringLiteral("XX9XYZ-L>FN14.2010 USB"));
        QCOMPARE(rig.text("Label4"), QStringLiteral("14.2020"));
        QCOMPARE(rig.text("Text1"), QStringLiteral("14.2020"));
        rig.press(cmd(54));
        QCOMPARE(rig.backend.sent().last(), "FN14.2030" + kLineAt0907);
        rig.backend.raiseChat(QStringLiteral("XX9XYZ-L>FN14.2020 USB"));
        rig.backend.raiseChat(QStringLiteral("XX9XYZ-L>FN14.2030 USB"));
        QCOMPARE(rig.text("Label4"), QStringLiteral("14.2030"));

        // Anything else the node reports still moves the display: a refusal (it stays where
        // it was), news from the station, and an old command's report once it has waited too
        // long to be ours.
        rig.press(cmd(54));
        rig.press(cmd(54));
        rig.backend.raiseChat(QStringLiteral("XX9XYZ-L>FN14.2030 USB"));
        QCOMPARE(rig.text("Label4"), QStringLiteral("14.2030"));
        rig.press(cmd(54)); // 14.2040
        rig.press(cmd(54)); // 14.2050
        rig.clock.advanceMs(station::StationState::kAskedFrequencyMs + 1000);
        rig.backend.raiseChat(QStringLiteral("XX9XYZ-L>FN14.2040 USB"));
        QCOMPARE(rig.text("Label4"), QStringLiteral("14.2040"));
    }

    void userFrequencies()
    {
        QTemporaryDir dir;
        FrequencyRig rig(dir.path());
        rig.press(cmd(21));
        QCOMPARE(rig.backend.sent(), QStringList{"FN3.6950"});
        QCOMPARE(rig.text("Text1"), QStringLiteral("3.6950"));
        QCOMPARE(rig.text("Label4"), QStringLiteral("3.6950"));

        // Sent as stored: no formatting, no time.
        rig.setText("Text10", QStringLiteral("7.1 usb"));
        rig.press(cmd(26));
        QCOMPARE(rig.backend.sent().last(), QStringLiteral("FN7.1 usb"));
        QCOMPARE(rig.text("Label4"), QStringLiteral("7.1 usb"));

        // A pasted line break is a blank, as the settings file would keep it.
        QApplication::clipboard()->setText(QStringLiteral("14.230\nUSB"));
        QTest::keySequence(rig.find<QLineEdit>("Text7"), QKeySequence::Paste);
        rig.press(cmd(23));
        QCOMPARE(rig.backend.sent().last(), QStringLiteral("FN14.230 USB"));

        // A decimal comma goes out as a point; an empty field sends nothing and changes nothing.
        rig.setText("Text9", QStringLiteral("14,230"));
        rig.press(cmd(25));
        QCOMPARE(rig.backend.sent().last(), QStringLiteral("FN14.230"));
        rig.press(cmd(22));
        QCOMPARE(rig.backend.sent().size(), 4);
        QCOMPARE(rig.text("Label4"), QStringLiteral("14.230"));
        QCOMPARE(rig.status(), QStringLiteral("Not sent: user frequency 2 is empty"));
    }

    void failedSendsAreReported()
    {
        QTemporaryDir dir;
        FrequencyRig rig(dir.path());
        rig.backend.failing.insert(QStringLiteral("SendChatText"));

        rig.press(cmd(3));
        QCOMPARE(rig.text("Text1"), QStringLiteral("1.8950"));
        QVERIFY(rig.status().contains(QStringLiteral("FN1.8950")));

        rig.find<QLabel>("StatusLine")->clear();
        rig.setText("Text3", QStringLiteral("7.1"));
        rig.press(cmd(35));
        QCOMPARE(rig.text("Label4"), QStringLiteral("7.1"));
        QCOMPARE(rig.text("Text1"), QStringLiteral("7.1000"));
        QVERIFY(!rig.status().isEmpty());
        QCOMPARE(rig.text("Text3"), QStringLiteral("7.1")); // kept for another try

        rig.find<QLabel>("StatusLine")->clear();
        rig.setText("Text6", QStringLiteral("7.2"));
        rig.press(cmd(22));
        QCOMPARE(rig.text("Text1"), QStringLiteral("7.2"));
        QVERIFY(!rig.status().isEmpty());

        rig.find<QLabel>("StatusLine")->clear();
        rig.window()->station().setDisplay(QStringLiteral("7.0000"));
        rig.press(cmd(52));
        QCOMPARE(rig.text("Label4"), QStringLiteral("7.0050"));
        QVERIFY(!rig.status().isEmpty());

        // Without any client the same holds, and the window keeps working.
        rig.backend.failing.clear();
        rig.press(cmd(21));
        QCOMPARE(rig.backend.sent().last(), QStringLiteral("FN3.6950"));
    }

    void noClientAtAll()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        rig.backend.clientExists = false;
        QVERIFY(rig.start());
        rig.find<QPushButton>("Command21")->click();
        QCOMPARE(rig.find<QLabel>("Label4")->text(), QStringLiteral("3.6950"));
        QVERIFY(!rig.find<QLabel>("StatusLine")->text().isEmpty());
    }

    // The volume menus start a program the system has, or do nothing at all.
    void windowsVolumeControlIsFound()
    {
#ifdef Q_OS_WIN
        QVERIFY(!QStandardPaths::findExecutable(QString::fromLatin1(texts::kMixerProgram)).isEmpty());
#else
        QSKIP("the mixer is optional here");
#endif
    }
};

QTEST_MAIN(FrequencyTest)
#include "test_frequency.moc"
