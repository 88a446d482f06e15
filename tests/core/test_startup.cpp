// Start-up of the whole program: settings, title, second instance, linked-node detection
// and the preset captions.
#include "CoreTestKit.h"

#include "app/ProgramStyle.h"
#include "core/InstanceLock.h"
#include "core/RadioSettings.h"
#include "core/WidgetColors.h"
#include "settings/PresetEditor.h"
#include "settings/PresetSet.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleFactory>
#include <QSysInfo>
#include <QTimer>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

using namespace tavrin;
using namespace tavrin::test;

namespace {

const QString kRadioFile = QStringLiteral("TVRradio.ini");

QStringList presetCaptions(Rig &rig)
{
    QStringList captions;
    for (int n = 1; n <= 10; ++n)
        captions << rig.find<QPushButton>(QStringLiteral("Command%1").arg(n))->text();
    return captions;
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartShowsDefaultsAndWritesNothing()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        QVERIFY(rig.window()->isVisible());
        QCOMPARE(rig.window()->objectName(), QStringLiteral("Form2"));

        QVERIFY(rig.find<QRadioButton>("Option1")->isChecked());
        QVERIFY(rig.find<QRadioButton>("Option1x")->isChecked());
        QCOMPARE(rig.window()->activeBand(), 1);
        QCOMPARE(rig.window()->activeSet(), 1);
        QCOMPARE(rig.find<QLineEdit>("Text5")->text(), QStringLiteral("3.6950"));
        QVERIFY(rig.find<QLineEdit>("Text10")->text().isEmpty());
        QVERIFY(!QFile::exists(dir.filePath(kRadioFile)));
        QVERIFY(rig.dialogs.shown.isEmpty()); // no file, nothing to complain of
        for (int k = 1; k <= 4; ++k)
            QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("TVRset%1.ini").arg(k))));

        // Set 1 defaults on 160 m.
        QCOMPARE(presetCaptions(rig), (QStringList{"1.8500", "1.8750", "1.8950", "1.9250", "1.9450", "", "", "", "", ""}));

        // Design texts at rest.
        QCOMPARE(rig.find<QLineEdit>("Text1")->text(), QStringLiteral("000.0000"));
        QCOMPARE(rig.find<QLabel>("Label4")->text(), QStringLiteral("000.0000"));
        QCOMPARE(rig.find<QLineEdit>("Text12")->text(), QStringLiteral("000.0000 MHz"));
        QCOMPARE(rig.find<QLabel>("NodeSelected")->text(), QStringLiteral("No Node Data Selected"));
        QCOMPARE(rig.find<QLabel>("NumStations")->text(), QStringLiteral("0"));
        QCOMPARE(rig.find<QLabel>("Label3")->text(), QStringLiteral("Receive Mode"));
        QCOMPARE(rig.find<QLineEdit>("PTT1")->text(), QStringLiteral("IP  TX  OFF"));
        QCOMPARE(rig.find<QLineEdit>("Text15")->text(), QStringLiteral("5000"));
        QCOMPARE(rig.find<QPushButton>("Command1x")->text(), QStringLiteral("TX /& RX"));
        QVERIFY(!rig.find<QLabel>("Label10")->isVisible());
        QCOMPARE(backColor(rig.find<QLabel>("Label3")), buttonFace());
        QCOMPARE(backColor(rig.find<QPushButton>("Command1x")), kLightGrey);
        QCOMPARE(foreColor(rig.find<QLineEdit>("Text2")), kBlue);
        QCOMPARE(rig.find<QPushButton>("Command29")->toolTip(), QStringLiteral("Select HF Node"));
        QCOMPARE(rig.find<QPushButton>("Command68")->toolTip(), QStringLiteral("Disconnect Station"));
        QCOMPARE(rig.find<QLineEdit>("Text2")->toolTip(), QStringLiteral("Last Station Connected"));
        QCOMPARE(rig.find<QLabel>("Prog")->text(), QStringLiteral("Tavrin"));
        QCOMPARE(rig.find<QLabel>("Ver")->text(), QStringLiteral("1.2.2"));
        for (const char *panel : {"Frame2", "Frame3", "Frame4", "Frame8", "Frame9", "Frame10"})
            QVERIFY2(!rig.find<QGroupBox>(panel)->isVisible(), panel);
        QVERIFY(!rig.find<QWidget>("Frame11")->isVisible());
        QVERIFY(!rig.find<QWidget>("Frame13")->isVisible());

        // The other windows are loaded hidden and registered.
        for (int k = 1; k <= 4; ++k) {
            QWidget *editor = rig.program().registry().window(QStringLiteral("FormSet%1").arg(k));
            QVERIFY(editor);
            QVERIFY(!editor->isVisible());
            QVERIFY(editor->isWindow());
            QCOMPARE(rig.program().registry().presetSet(k), &rig.program().presetSet(k));
        }
        QCOMPARE(rig.program().registry().window("Form2"), rig.window());
    }

    void timersAsTheTableSays()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        const int intervals[7] = {5000, 10000, 300, 1000, 5000, 5000, 300};
        const bool single[7] = {true, true, false, false, true, true, false};
        const bool running[7] = {false, false, true, true, false, false, false};
        for (int i = 0; i < 7; ++i) {
            auto *t = rig.find<QTimer>(QStringLiteral("Timer%1").arg(i + 1));
            QVERIFY(t);
            QCOMPARE(t->interval(), intervals[i]);
            QCOMPARE(t->isSingleShot(), single[i]);
            QCOMPARE(t->isActive(), running[i]);
        }
    }

    void titleCarriesCallsignAndVersion()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        rig.backend.localCallsign = QStringLiteral("XX1ABC-R");
        QVERIFY(rig.start());
        QCOMPARE(rig.window()->windowTitle(),
                 QStringLiteral("Tavrin    XX1ABC-R   v1.2.2") + QString(33, QLatin1Char(' '))
                     + QStringLiteral("Tavrin (Tavricon)"));
        QCOMPARE(rig.find<QLabel>("Callsign")->text(), QStringLiteral("XX1ABC-R"));
    }

    void startsWithoutClient()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        rig.backend.clientExists = false;
        QVERIFY(rig.start());
        QVERIFY(rig.window()->isVisible());
        QVERIFY(!rig.window()->client());
        QCOMPARE(rig.window()->windowTitle(), QStringLiteral("Tavrin"));
        QCOMPARE(rig.find<QLabel>("Callsign")->text(), QStringLiteral("Callsign"));
        QVERIFY(rig.find<QLineEdit>("Text2")->text().isEmpty());
        QVERIFY(!rig.find<QTimer>("Timer5")->isActive());
        QCOMPARE(presetCaptions(rig).first(), QStringLiteral("1.8500"));
        // Sending without a client is reported, not thrown.
        rig.trigger("FreqReq");
        QVERIFY(!rig.find<QLabel>("StatusLine")->text().isEmpty());
    }

    void failingCallsignQuestionKeepsDesignTexts()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        rig.backend.failing.insert(QStringLiteral("StationCallsign"));
        QVERIFY(rig.start());
        QCOMPARE(rig.window()->windowTitle(), QStringLiteral("Tavrin"));
        QCOMPARE(rig.find<QLabel>("Callsign")->text(), QStringLiteral("Callsign"));
        QCOMPARE(rig.find<QLineEdit>("Text5")->text(), QStringLiteral("3.6950")); // the rest still ran
    }

    void secondInstanceEndsWithoutTouchingSettings()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(kRadioFile), "[SETTINGS]\r\nText5=7.1000\r\n");
        const QDateTime before = QFileInfo(dir.filePath(kRadioFile)).lastModified();

        Rig first(dir.path());
        QVERIFY(first.start());
        Rig second(dir.path());
        second.options.scenarioMode = false;
        QVERIFY(!second.start());
        QVERIFY(!second.window());
        QCOMPARE(second.dialogs.shown.size(), 1);
        QCOMPARE(second.dialogs.shown.first().text, QStringLiteral("Program is already running."));
        QCOMPARE(second.dialogs.shown.first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(second.dialogs.shown.first().icon, QMessageBox::Information);
        QCOMPARE(readFile(dir.filePath(kRadioFile)), QStringLiteral("[SETTINGS]\r\nText5=7.1000\r\n"));
        QCOMPARE(QFileInfo(dir.filePath(kRadioFile)).lastModified(), before);
        // Only the radio file and the lock: no preset file appeared.
        QCOMPARE(QDir(dir.path()).entryList(QStringList{"*.ini"}, QDir::Files), QStringList{kRadioFile});
        QVERIFY(first.dialogs.shown.isEmpty());
    }

    // Settings the program cannot read show as defaults: the operator hears it at start, not
    // at the first save. So does a settings folder that cannot be made.
    void unreadableSettingsAreSaidAtStart()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(kRadioFile));
        writeFile(dir.filePath("TVRset1.ini"), "[SETTINGS]\r\n");
        Rig rig(dir.path());
        QVERIFY(rig.start());
        QCOMPARE(rig.find<QLineEdit>("Text5")->text(), QStringLiteral("3.6950"));
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown.first().icon, QMessageBox::Warning);
        const QString text = rig.dialogs.shown.first().text;
        QVERIFY2(text.startsWith(QStringLiteral("Could not read the settings file \"%1\": it is not a plain file.")
                                     .arg(QDir::toNativeSeparators(dir.filePath(kRadioFile)))),
                 qPrintable(text));
        QVERIFY2(!text.contains("TVRset1.ini"), qPrintable(text));

        writeFile(dir.filePath("blocker"), "");
        const QString missing = dir.filePath("blocker/settings");
        Rig nowhere(missing);
        QVERIFY(nowhere.start());
        QCOMPARE(nowhere.dialogs.shown.size(), 1);
        QVERIFY2(nowhere.dialogs.shown.first().text.contains(
                     QStringLiteral("\"%1\" does not exist and could not be created").arg(QDir::toNativeSeparators(missing))),
                 qPrintable(nowhere.dialogs.shown.first().text));
    }

    void directoryIsFreeAgainAfterTheFirstRunEnds()
    {
        QTemporaryDir dir;
        {
            Rig first(dir.path());
            QVERIFY(first.start());
        }
        Rig again(dir.path());
        QVERIFY(again.start());
        QVERIFY(again.dialogs.shown.isEmpty());
    }

    // A file left by a crashed run never keeps the operator out; a copy holding the directory
    // through Qt's own lock file (as older builds do) is still seen.
    void instanceLockIgnoresLeftoversAndSeesQtLocks()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tavrin.lock"));
        writeFile(path, "999999\ntavrin\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        {
            InstanceLock lock(path);
            QCOMPARE(lock.tryLock(), InstanceLock::Result::Locked);
            InstanceLock second(path);
            QCOMPARE(second.tryLock(), InstanceLock::Result::HeldElsewhere);
        }
        QVERIFY(!QFile::exists(path));
#ifndef Q_OS_WIN
        // Under a private umask the file still opens for everyone, so that another user's copy
        // on a shared folder sees the lock instead of running beside this one.
        {
            const mode_t savedMask = ::umask(077);
            InstanceLock lock(path);
            const InstanceLock::Result result = lock.tryLock();
            ::umask(savedMask);
            QCOMPARE(result, InstanceLock::Result::Locked);
            QVERIFY(QFileInfo(path).permissions().testFlags(QFile::ReadGroup | QFile::ReadOther));
        }
#endif
        QLockFile older(path);
        QVERIFY(older.tryLock(0));
        InstanceLock lock(path);
        QCOMPARE(lock.tryLock(), InstanceLock::Result::HeldElsewhere);
        older.unlock();
        QCOMPARE(lock.tryLock(), InstanceLock::Result::Locked);
        QVERIFY(lock.isLocked());
    }

    void savedSettingsComeBack()
    {
        QTemporaryDir dir;
        {
            Rig rig(dir.path());
            QVERIFY(rig.start());
            rig.find<QLineEdit>("Text5")->clear();
            rig.find<QLineEdit>("Text7")->setText(QStringLiteral("14.2300"));
            rig.find<QRadioButton>("Option4")->setChecked(true);
            rig.find<QRadioButton>("Option3x")->setChecked(true);
            QVERIFY(rig.window()->SaveData().ok);
        }
        const QString content = readFile(dir.filePath(kRadioFile));
        QVERIFY(content.contains(QStringLiteral("TEXT5=\n")) || content.contains(QStringLiteral("TEXT5=\r\n")));
        QVERIFY(content.contains(QStringLiteral("Option4=True")));
        QVERIFY(content.contains(QStringLiteral("Option1=False")));
        QVERIFY(content.contains(QStringLiteral("Option3x=True")));
        // The 16 keys in their order.
        int last = -1;
        for (const QString &key : RadioSettings::writeKeys()) {
            const int at = content.indexOf(key + QLatin1Char('='));
            QVERIFY2(at > last, qPrintable(key));
            last = at;
        }

        Rig rig(dir.path());
        QVERIFY(rig.start());
        QVERIFY(rig.find<QLineEdit>("Text5")->text().isEmpty()); // cleared stays cleared
        QCOMPARE(rig.find<QLineEdit>("Text7")->text(), QStringLiteral("14.2300"));
        QCOMPARE(rig.window()->activeBand(), 4);
        QCOMPARE(rig.window()->activeSet(), 3);
    }

    void filesEditedByHandOrBroughtFromWindows()
    {
        QTemporaryDir dir;
        // The section header lost in an edit: defaults, and the file is named.
        const QByteArray headless = "Option4=True\r\nTEXT7=14.2300\r\n";
        writeFile(dir.filePath(kRadioFile), headless);
        // Named in capitals as Windows left it, with a quoted value.
        writeFile(dir.filePath(QStringLiteral("TVRSET2.INI")), "[settings]\r\nNodeCall=\"XX1AB-L\"\r\n");
        // The lock keeps its one name, where the updater looks for it.
        writeFile(dir.filePath(QStringLiteral("TAVRIN.LOCK")), "1\n");
        // A callsign with a typo would otherwise leave the station on the simulated link unsaid.
        writeFile(dir.filePath(QStringLiteral("TVRlink.ini")), "[SETTINGS]\nBackend=EchoLink\nCallsign=XX1 ABC\n");
        writeFile(dir.filePath(QStringLiteral("TVRrig.ini")), "[SETTINGS]\nEnabled=yes\n");
        Rig rig(dir.path());
        QVERIFY(rig.start());
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("tavrin.lock"))));
        QCOMPARE(rig.program().presetSet(2).NodeCall, QStringLiteral("XX1AB-L"));
        QCOMPARE(rig.window()->activeBand(), 1);
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown.first().icon, QMessageBox::Warning);
        QVERIFY2(rig.dialogs.shown.first().text.contains(QDir::toNativeSeparators(dir.filePath(kRadioFile)))
                     && rig.dialogs.shown.first().text.contains(QStringLiteral("Callsign \"XX1 ABC\""))
                     && rig.dialogs.shown.first().text.contains(QStringLiteral("Enabled \"yes\"")),
                 qPrintable(rig.dialogs.shown.first().text));
        QVERIFY(rig.window()->SaveData().ok);
        QVERIFY(readFile(dir.filePath(kRadioFile)).startsWith(QString::fromLatin1(headless)));

        // The link settings' problems come from the read that chose the link, before the
        // program: listed as found then, the file not read a second time.
        QTemporaryDir other;
        writeFile(other.filePath(QStringLiteral("TVRlink.ini")), "[SETTINGS]\nCallsign=XX1 ABC\n");
        Rig told(other.path());
        told.options.linkSettingsProblems = QStringList{QStringLiteral("as found before the start"), QString()};
        QVERIFY(told.start());
        QCOMPARE(told.dialogs.shown.size(), 1);
        QCOMPARE(told.dialogs.shown.first().text, QStringLiteral("as found before the start"));
    }

    void storedOptionsIncludingNoneSelected()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(kRadioFile),
                  "[SETTINGS]\r\nOption1=0\r\nOption1x=false\r\nOption2x=maybe\r\n");
        Rig rig(dir.path());
        QVERIFY(rig.start());
        // No band selected: the captions keep their design text.
        QCOMPARE(rig.window()->activeBand(), 0);
        QCOMPARE(presetCaptions(rig).first(), QStringLiteral("Freq"));
        QCOMPARE(rig.window()->activeSet(), 0);
        QVERIFY(rig.window()->SaveData().ok);
        const QString content = readFile(dir.filePath(kRadioFile));
        QVERIFY(content.contains(QStringLiteral("Option1=False")));
        QVERIFY(content.contains(QStringLiteral("Option1x=False")));
        QVERIFY(content.contains(QStringLiteral("Option2x=False")));
    }

    void linkedNodeDetectionStopsAtFirstLinkedSet()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("TVRset2.ini"), "[SETTINGS]\r\nNodeCall=xx2bbb-l\r\n");
        writeFile(dir.filePath("TVRset3.ini"), "[SETTINGS]\r\nNodeCall=XX3CCC-L\r\n");
        Rig rig(dir.path());
        rig.backend.connected = {QStringLiteral("XX2BBB-L"), QStringLiteral("XX3CCC-L")};
        QVERIFY(rig.start());

        QStringList asked;
        for (const FakeCall &c : rig.backend.callsOf(QStringLiteral("IsConnected")))
            asked << c.argument;
        QCOMPARE(asked, (QStringList{"XX9XYZ-L", "XX2BBB-L"})); // upper case; set 3 never asked
        QCOMPARE(rig.find<QLineEdit>("Text2")->text(), QStringLiteral("xx2bbb-l")); // as stored
        QVERIFY(rig.find<QLineEdit>("Text2")->isVisible());
        QVERIFY(rig.find<QTimer>("Timer5")->isActive());

        // The frequency query goes out once, when the timer fires.
        rig.backend.clearCalls();
        rig.window()->Timer5_Timer();
        QCOMPARE(rig.backend.sent(), QStringList{"FR?"});
        QVERIFY(!rig.find<QTimer>("Timer5")->isActive());
    }

    void failedLinkQuestionCountsAsNotLinked()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        rig.backend.connected = {QStringLiteral("XX9XYZ-L")};
        rig.backend.failing.insert(QStringLiteral("IsConnected"));
        QVERIFY(rig.start());
        QCOMPARE(rig.backend.callsOf(QStringLiteral("IsConnected")).size(), 4);
        QVERIFY(rig.find<QLineEdit>("Text2")->text().isEmpty());
        QVERIFY(!rig.find<QTimer>("Timer5")->isActive());
    }

    void nothingLinkedAsksAllFourSets()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        QCOMPARE(rig.backend.callsOf(QStringLiteral("IsConnected")).size(), 4);
        QVERIFY(!rig.find<QTimer>("Timer5")->isActive());
    }

    void changeBandUsesActiveSetAndBand()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(kRadioFile), "[SETTINGS]\r\nOption1=False\r\nOption6=True\r\nOption1x=0\r\nOption2x=1\r\n");
        QByteArray set2 = "[SETTINGS]\r\n";
        for (int p = 1; p <= 10; ++p)
            set2 += QStringLiteral("TEXT%1=21.%2\r\n").arg(50 + p).arg(p, 4, 10, QLatin1Char('0')).toUtf8();
        writeFile(dir.filePath("TVRset2.ini"), set2);
        Rig rig(dir.path());
        QVERIFY(rig.start());
        QCOMPARE(presetCaptions(rig).first(), QStringLiteral("21.0001"));
        QCOMPARE(presetCaptions(rig).last(), QStringLiteral("21.0010"));

        // Live, unsaved edits of a set are what ChangeBand uses.
        rig.program().presetSet(2).Text(PresetSet::presetIndex(6, 3)) = QStringLiteral("21.3000");
        rig.window()->setBandOption(1, true);
        rig.program().presetSet(2).Text(1) = QStringLiteral("1.8000");
        rig.window()->ChangeBand();
        QCOMPARE(presetCaptions(rig).first(), QStringLiteral("1.8000"));
        rig.window()->setBandOption(6, true);
        rig.window()->ChangeBand();
        QCOMPARE(presetCaptions(rig).at(2), QStringLiteral("21.3000"));
    }

    void editorTypingReachesTheMainWindow()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        // Looked up by name like any control: the hidden editor builds its fields for it.
        auto *nodeCall = rig.program().registry().control<QLineEdit>(QStringLiteral("FormSet1"), QStringLiteral("NodeCall"));
        auto *first = rig.program().registry().control<QLineEdit>(QStringLiteral("FormSet1"), QStringLiteral("Text1"));
        QVERIFY(nodeCall && first);
        nodeCall->selectAll();
        QTest::keyClicks(nodeCall, QStringLiteral("XX5EEE-L"));
        first->selectAll();
        QTest::keyClicks(first, QStringLiteral("1.8100"));
        QCOMPARE(rig.find<QPushButton>("Command29")->text(), QStringLiteral("XX5EEE-L"));
        QCOMPARE(rig.find<QLabel>("NodeSelected")->text(), QStringLiteral("XX5EEE-L Node Data Selected"));
        rig.window()->ChangeBand();
        QCOMPARE(presetCaptions(rig).first(), QStringLiteral("1.8100"));
        QVERIFY(!QFile::exists(dir.filePath("TVRset1.ini")));
    }

    // Last: it changes the application's style for the rest of this program. Standard icons
    // come later from the program's style, and group-box frames are drawn from a picture it
    // reads itself, but everything looks exactly as under the platform's own style.
    void programStyleDrawsWhatThePlatformStyleDraws()
    {
        const std::unique_ptr<QStyle> plain(QStyleFactory::create(QApplication::style()->name()));
        QVERIFY(plain);
        const auto groupBoxes = [](QStyle *style) {
            QList<QImage> pictures;
            for (const QString &title : {QStringLiteral("Frequency"), QString()}) {
                for (const bool checkable : {false, true}) {
                    QGroupBox box(title);
                    box.setStyle(style);
                    box.setCheckable(checkable);
                    box.resize(160, 90);
                    pictures << box.grab().toImage();
                }
            }
            return pictures;
        };
        const QList<QImage> before = groupBoxes(plain.get());
        installProgramStyle();
        QCOMPARE(groupBoxes(QApplication::style()), before);
        for (const QStyle::StandardPixmap which :
             {QStyle::SP_MessageBoxWarning, QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_DialogOkButton}) {
            const QIcon deferred = QApplication::style()->standardIcon(which);
            QVERIFY(!deferred.isNull());
            QCOMPARE(deferred.pixmap(32, 32).toImage(), plain->standardIcon(which).pixmap(32, 32).toImage());
            QCOMPARE(QIcon(deferred).availableSizes(), plain->standardIcon(which).availableSizes());
        }
    }
};

QTEST_MAIN(StartupTest)
#include "test_startup.moc"
