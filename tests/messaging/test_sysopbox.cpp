// The sysop message box Form126, built through the whole program: its sending form, log,
// settings file and placement, its saves, and the main window's writes into it.

#include "core/CoreTestKit.h"
#include "protocol/TimeTexts.h"
#include "messaging/SysopBox.h"
#include "support/WindowShape.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

using namespace tavrin;
using namespace tavrin::test;
using tavrin::messaging::SysopBox;

namespace {

const QString kFile = QStringLiteral("kelmmessageforsysop.ini");

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

void click(QAbstractButton *b) { QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center()); }

struct SysopRig : Rig {
    explicit SysopRig(const QString &dir) : Rig(dir) { clock.set(QDateTime(QDate(2024, 5, 4), QTime(14, 5, 30))); }

    SysopBox *box() { return program().registry().get<SysopBox>(QStringLiteral("Form126")); }
    template <class T>
    T *in(const char *name)
    {
        T *found = program().registry().control<T>(QStringLiteral("Form126"), QString::fromLatin1(name));
        if (!found)
            qWarning("no control %s in Form126", name);
        return found;
    }
    QPlainTextEdit *log() { return in<QPlainTextEdit>("Text1"); }
    QLineEdit *call() { return in<QLineEdit>("Text2"); }
    QLineEdit *message() { return in<QLineEdit>("Text3"); }
    QString status() { return in<QLabel>("StatusLine")->text(); }
    void send(const QString &to, const QString &text)
    {
        call()->setText(to);
        message()->setText(text);
        click(in<QPushButton>("Command3"));
    }
};

// The box's stored position in twips, as the program would read it back.
QPoint storedPosition(SysopRig &rig)
{
    const ProfileSnapshot s = rig.program().store().load(kFile);
    return {s.ReadSetting(QStringLiteral("LEFT"), {}).toInt(), s.ReadSetting(QStringLiteral("TOP"), {}).toInt()};
}

int px(double twips, int dpi) { return int(std::lround(twips * dpi / 1440.0)); }

} // namespace

class SysopBoxTest : public QObject {
    Q_OBJECT
private slots:
    void conversions()
    {
        using namespace tavrin::messaging;
        QCOMPARE(twipsToPixels(300, 96), 20);
        QCOMPARE(twipsToPixels(1500, 120), 125);
        QCOMPARE(twipsToPixels(310, 96), 21); // 20.67 rounds up
        QCOMPARE(pixelsToTwips(21, 96), 315L);
        QCOMPARE(pixelsToTwips(-8, 96), -120L);
        QCOMPARE(readTwips(QStringLiteral(" 1234.5 ")), std::optional<double>(1234.5));
        QCOMPARE(readTwips(QStringLiteral("-45")), std::optional<double>(-45));
        for (const char *bad : {"", "abc", "12px", "nan", "inf", "1e999"})
            QVERIFY2(!readTwips(QString::fromLatin1(bad)), bad);
        QCOMPARE(readCheck(QStringLiteral("1")), std::optional<bool>(true));
        QCOMPARE(readCheck(QStringLiteral("0")), std::optional<bool>(false));
        for (const char *bad : {"", "2", "True", "-1", "yes"})
            QVERIFY2(!readCheck(QString::fromLatin1(bad)), bad);
    }

    void firstStartShowsDefaultsAndWritesNothing()
    {
        QTemporaryDir dir;
        SysopRig rig(dir.path());
        QVERIFY(rig.start());
        SysopBox *box = rig.box();
        QVERIFY(box);
        QVERIFY(!box->isVisible());
        QVERIFY(!box->parent()); // a top-level window of its own
        QCOMPARE(box->windowTitle(), QStringLiteral("Messages for sysop's attention"));
        QCOMPARE(rig.in<QLabel>("Label1")->text(), QStringLiteral("Messages for Sysop's Attention"));
        QCOMPARE(rig.in<QCheckBox>("Check1")->text(), QStringLiteral("Show Chat Box When Message Sent"));
        QVERIFY(rig.in<QCheckBox>("Check1")->isChecked());
        const QList<QPair<const char *, const char *>> captions = {
            {"Command3", "Send"}, {"Command5", "Text Box Chat"}, {"Command2", "Clear"},
            {"Command6", "Save"}, {"Command1", "Hide"}};
        for (const auto &[name, caption] : captions)
            QCOMPARE(rig.in<QPushButton>(name)->text(), QString::fromLatin1(caption));
        QVERIFY(rig.log()->isReadOnly());
        QVERIFY(rig.log()->toPlainText().isEmpty());
        QVERIFY(!rig.in<QLineEdit>("Text4")->isVisibleTo(box));
        QCOMPARE(box->pos(), QPoint(px(300, box->logicalDpiX()), px(300, box->logicalDpiY())));
        // It opens ready to write to a sysop, not with the keys in the log.
        box->show();
        QCOMPARE(box->focusWidget(), rig.call());
        QVERIFY(!QFile::exists(QDir(dir.path()).filePath(kFile)));
    }

    void storedSettingsAreApplied()
    {
        QTemporaryDir dir;
        // Keys match without regard to letter case.
        writeFile(QDir(dir.path()).filePath(kFile), "[settings]\r\ncheck1=0\r\nLeft=1500\r\nTOP=750.4\r\n");
        SysopRig rig(dir.path());
        QVERIFY(rig.start());
        QVERIFY(!rig.in<QCheckBox>("Check1")->isChecked());
        QCOMPARE(rig.box()->pos(), QPoint(px(1500, rig.box()->logicalDpiX()), px(750.4, rig.box()->logicalDpiY())));
    }

    void unreadableSettingsFallBackToDefaults()
    {
        QTemporaryDir dir;
        SysopRig rig(dir.path());
        // Junk values, and a position no screen shows: both give the default place.
        writeFile(QDir(dir.path()).filePath(kFile), "[SETTINGS]\r\nCheck1=2\r\nLEFT=abc\r\nTOP=\r\n");
        QVERIFY(rig.start());
        SysopBox *box = rig.box();
        const QPoint home(px(300, box->logicalDpiX()), px(300, box->logicalDpiY()));
        QVERIFY(rig.in<QCheckBox>("Check1")->isChecked());
        QCOMPARE(box->pos(), home);

        writeFile(QDir(dir.path()).filePath(kFile), "[SETTINGS]\r\nLEFT=9000000\r\nTOP=-9000000\r\n");
        box->Form_Load(nullptr);
        QCOMPARE(box->pos(), home);

        // Its corner on screen but the box almost wholly off it (a larger screen before): moved
        // in just far enough to show whole.
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const int left = int(messaging::pixelsToTwips(screen.right() - 5, box->logicalDpiX()));
        const int top = int(messaging::pixelsToTwips(screen.bottom() - 5, box->logicalDpiY()));
        writeFile(QDir(dir.path()).filePath(kFile), QStringLiteral("[SETTINGS]\r\nLEFT=%1\r\nTOP=%2\r\n").arg(left).arg(top).toLatin1());
        box->Form_Load(nullptr);
        QCOMPARE(box->frameGeometry().bottomRight(), screen.bottomRight());
    }

    void sendingLogsAndSendsTheWireText()
    {
        QTemporaryDir dir;
        SysopRig rig(dir.path());
        QVERIFY(rig.start());
        rig.backend.clearCalls();

        rig.send(QStringLiteral(" xx9xyz "), QStringLiteral("hello")); // pasted with blanks
        QCOMPARE(rig.backend.sent(), QStringList{QStringLiteral("(14:05) >**XX9XYZ** hello")});
        QCOMPARE(rig.call()->text(), QStringLiteral("XX9XYZ"));
        QCOMPARE(rig.log()->toPlainText(), QStringLiteral("Message Sent To -> XX9XYZ 14:05 > hello\n"));
        QVERIFY(rig.log()->textCursor().atEnd());
        QCOMPARE(rig.in<QLineEdit>("Text4")->text(), QStringLiteral("**XX9XYZ** hello"));
        QVERIFY(rig.message()->text().isEmpty());
        QVERIFY(rig.status().isEmpty());

        // Enter in the message box sends the same way; the node call stays for the next one.
        rig.backend.clearCalls();
        rig.clock.set(QDateTime(QDate(2024, 5, 4), QTime(9, 7, 0)));
        rig.message()->setText(QStringLiteral("second"));
        QTest::keyClick(rig.message(), Qt::Key_Return);
        QCOMPARE(rig.backend.sent(), QStringList{QStringLiteral("(09:07) >**XX9XYZ** second")});
        QCOMPARE(rig.log()->toPlainText(),
                 QStringLiteral("Message Sent To -> XX9XYZ 14:05 > hello\nMessage Sent To -> XX9XYZ 09:07 > second\n"));
        QVERIFY(rig.message()->text().isEmpty());

        // Nothing is tested for emptiness.
        rig.backend.clearCalls();
        rig.send({}, {});
        QCOMPARE(rig.backend.sent(), QStringList{QStringLiteral("(09:07) >**** ")});

        // Clear empties the log only.
        rig.call()->setText(QStringLiteral("XX1ABC"));
        rig.message()->setText(QStringLiteral("draft"));
        click(rig.in<QPushButton>("Command2"));
        QVERIFY(rig.log()->toPlainText().isEmpty());
        QCOMPARE(rig.call()->text(), QStringLiteral("XX1ABC"));
        QCOMPARE(rig.message()->text(), QStringLiteral("draft"));
    }

    // From the keyboard alone: Return in the node call goes on to the message (or sends one
    // that is written), Escape puts the box away with the typed message kept, and the keys go
    // back to the window the box was opened from. The log takes a caret to read and select.
    void keyboardOnly()
    {
        QTemporaryDir dir;
        SysopRig rig(dir.path());
        QVERIFY(rig.start());
        rig.backend.clearCalls();
        MainWindow *main = rig.window();
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        QWidget *before = rig.find<QWidget>("Command1x");
        before->setFocus();
        rig.trigger("TextBoxChat3");
        SysopBox *box = rig.box();
        QVERIFY(QTest::qWaitForWindowActive(box));
        QCOMPARE(QApplication::focusWidget(), rig.call());

        QTest::keyClicks(rig.call(), QStringLiteral("xx9xyz"));
        QTest::keyClick(rig.call(), Qt::Key_Return);
        QVERIFY(rig.backend.sent().isEmpty());
        QCOMPARE(QApplication::focusWidget(), rig.message());
        QTest::keyClicks(rig.message(), QStringLiteral("half a thought"));
        QTest::keyClick(rig.message(), Qt::Key_Escape);
        QVERIFY(!box->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(main));
        QCOMPARE(QApplication::focusWidget(), before);

        rig.trigger("TextBoxChat3");
        QVERIFY(QTest::qWaitForWindowActive(box));
        QCOMPARE(rig.message()->text(), QStringLiteral("half a thought"));
        rig.call()->setFocus();
        QTest::keyClick(rig.call(), Qt::Key_Return);
        QCOMPARE(rig.backend.sent(), QStringList{QStringLiteral("(14:05) >**XX9XYZ** half a thought")});

        rig.log()->setFocus();
        QTest::keyClick(rig.log(), Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(rig.log(), Qt::Key_End, Qt::ShiftModifier);
        QCOMPARE(rig.log()->textCursor().selectedText(), QStringLiteral("Message Sent To -> XX9XYZ 14:05 > half a thought"));
    }

    void chatWindowFollowsCheck1()
    {
        QTemporaryDir dir;
        SysopRig rig(dir.path());
        QVERIFY(rig.start());
        // The chat window may be built by the program; a stand-in keeps this test about the box.
        QWidget chat;
        chat.setObjectName(QStringLiteral("Messages"));
        rig.program().registry().add(&chat);

        rig.in<QCheckBox>("Check1")->setChecked(false);
        rig.send(QStringLiteral("XX9XYZ"), QStringLiteral("quiet"));
        QVERIFY(!chat.isVisible());
        rig.in<QCheckBox>("Check1")->setChecked(true);
        rig.send(QStringLiteral("XX9XYZ"), QStringLiteral("loud"));
        QVERIFY(chat.isVisible());

        chat.hide();
        click(rig.in<QPushButton>("Command5"));
        QVERIFY(chat.isVisible());

        // Asked for, a minimized window comes back: from this box and from the main menu.
        chat.showMinimized();
        click(rig.in<QPushButton>("Command5"));
        QVERIFY(!chat.isMinimized());
        rig.box()->showMinimized();
        rig.trigger(QStringLiteral("TextBoxChat3"));
        QVERIFY(rig.box()->isVisible() && !rig.box()->isMinimized());
    }

    void failedSendKeepsTheMessage()
    {
        QTemporaryDir dir;
        SysopRig rig(dir.path());
        QVERIFY(rig.start());
        QWidget chat;
        chat.setObjectName(QStringLiteral("Messages"));
        rig.program().registry().add(&chat);

        rig.backend.failing.insert(QStringLiteral("SendChatText"));
        rig.send(QStringLiteral("xx9xyz"), QStringLiteral("important"));
        QCOMPARE(rig.message()->text(), QStringLiteral("important"));
        QCOMPARE(rig.log()->toPlainText(), QStringLiteral("Message NOT Sent To -> XX9XYZ 14:05 > important\n"));
        QVERIFY2(rig.status().startsWith(QStringLiteral("Not sent: ")), qPrintable(rig.status()));
        QVERIFY(!chat.isVisible());

        // The next good send clears the report.
        rig.backend.failing.clear();
        click(rig.in<QPushButton>("Command3"));
        QVERIFY(rig.message()->text().isEmpty());
        QVERIFY(rig.status().isEmpty());
        QVERIFY(rig.log()->toPlainText().endsWith(QStringLiteral("Message Sent To -> XX9XYZ 14:05 > important\n")));
    }

    void withoutAClientNothingClaimsToBeSent()
    {
        QTemporaryDir dir;
        SysopRig rig(dir.path());
        rig.backend.clientExists = false;
        QVERIFY(rig.start());
        rig.send(QStringLiteral("XX9XYZ"), QStringLiteral("anyone?"));
        QCOMPARE(rig.message()->text(), QStringLiteral("anyone?"));
        // Worded as the chat window and the pad word the same failure.
        QVERIFY(rig.log()->toPlainText().startsWith(QStringLiteral("Message NOT Sent To -> ")));
        QCOMPARE(rig.status(), QStringLiteral("Not sent: EchoLink client not running"));
    }

    void saveHideAndCloseWriteTheSettings()
    {
        QTemporaryDir dir;
        const QString path = QDir(dir.path()).filePath(kFile);
        {
            SysopRig rig(dir.path());
            QVERIFY(rig.start());
            SysopBox *box = rig.box();
            box->show();
            rig.in<QCheckBox>("Check1")->setChecked(false);
            box->move(px(1440, box->logicalDpiX()), px(720, box->logicalDpiY()));
            click(rig.in<QPushButton>("Command6"));
            QVERIFY(box->isVisible());
            // Exact key spelling, in order, whole twips.
            const QStringList lines = readFile(path).split(QRegularExpression(QStringLiteral("\r?\n")), Qt::SkipEmptyParts);
            QCOMPARE(lines, (QStringList{"[SETTINGS]", "Check1=0", "LEFT=1440", "TOP=720"}));

            rig.in<QCheckBox>("Check1")->setChecked(true);
            click(rig.in<QPushButton>("Command1"));
            QVERIFY(!box->isVisible());
            QVERIFY(readFile(path).contains(QStringLiteral("Check1=1")));

            box->show();
            rig.in<QCheckBox>("Check1")->setChecked(false);
            box->move(px(2880, box->logicalDpiX()), px(1440, box->logicalDpiY()));
            QVERIFY(box->close());
            QVERIFY(!box->isVisible());
            QCOMPARE(storedPosition(rig), QPoint(2880, 1440));
        }
        // The next run starts where the last one left the box.
        SysopRig again(dir.path());
        QVERIFY(again.start());
        QVERIFY(!again.in<QCheckBox>("Check1")->isChecked());
        QCOMPARE(again.box()->pos(), QPoint(px(2880, again.box()->logicalDpiX()), px(1440, again.box()->logicalDpiY())));
    }

    void failedSaveIsReported()
    {
        QTemporaryDir dir;
        SysopRig rig(dir.path());
        QVERIFY(rig.start());
        // A folder where the file should be: no write can succeed.
        QVERIFY(QDir(dir.path()).mkdir(kFile));
        click(rig.in<QPushButton>("Command6"));
        QVERIFY2(rig.status().startsWith(QStringLiteral("Settings not saved: ")), qPrintable(rig.status()));
        rig.box()->show();
        click(rig.in<QPushButton>("Command1"));
        QVERIFY(!rig.box()->isVisible());
        QVERIFY(rig.status().startsWith(QStringLiteral("Settings not saved: ")));

        // On the way out, in a message box like the main window's own.
        rig.trigger(QStringLiteral("fin"));
        QVERIFY(rig.program().isEnding());
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown.first().icon, QMessageBox::Warning);
        QVERIFY(rig.dialogs.shown.first().text.startsWith(QStringLiteral("The settings could not be saved:")));
    }

    void everyShutdownPathSavesTheBox_data()
    {
        QTest::addColumn<int>("path");
        QTest::newRow("exit menu") << 0;
        QTest::newRow("main window closed") << 1;
        QTest::newRow("client closing") << 2;
    }
    void everyShutdownPathSavesTheBox()
    {
        QFETCH(int, path);
        QTemporaryDir dir;
        SysopRig rig(dir.path());
        QVERIFY(rig.start());
        SysopBox *box = rig.box();
        rig.in<QCheckBox>("Check1")->setChecked(false);
        box->move(px(600, box->logicalDpiX()), px(900, box->logicalDpiY()));
        if (path == 0)
            rig.trigger(QStringLiteral("fin"));
        else if (path == 1)
            rig.window()->close();
        else
            rig.backend.raiseClosing();
        QVERIFY(rig.program().isEnding());
        QVERIFY(readFile(QDir(dir.path()).filePath(kFile)).contains(QStringLiteral("Check1=0")));
        QCOMPARE(storedPosition(rig), QPoint(600, 900));
        QVERIFY(rig.dialogs.shown.isEmpty());
    }

    void mainWindowWritesIntoTheBox()
    {
        QTemporaryDir dir;
        writeFile(QDir(dir.path()).filePath(QStringLiteral("TVRset2.ini")), "[SETTINGS]\r\nNodeCall=xx2bbb-r\r\n");
        SysopRig rig(dir.path());
        QVERIFY(rig.start());
        rig.backend.clearCalls();

        // A message for the local sysop: logged, box shown, caret at the end, acknowledged.
        const QString line = QStringLiteral("XX1ABC>**XX1TST** please call me");
        rig.backend.raiseChat(line);
        QVERIFY(rig.box()->isVisible());
        const QString entry = remote::defaultDateText(QDate(2024, 5, 4)) + QStringLiteral(" at ")
                              + remote::defaultTimeText(QTime(14, 5, 30)) + QStringLiteral(" ") + line;
        QCOMPARE(rig.log()->toPlainText(), entry + QStringLiteral("\n\n"));
        QVERIFY(rig.log()->textCursor().atEnd());
        QVERIFY(rig.backend.sent().contains(
            QStringLiteral(" Message has been received and left for the XX1TST-L's Sysop")));

        // An operator's own line follows the received one.
        rig.send(QStringLiteral("XX9XYZ"), QStringLiteral("thanks"));
        QVERIFY(rig.log()->toPlainText().endsWith(QStringLiteral("\n\nMessage Sent To -> XX9XYZ 14:05 > thanks\n")));

        // A node button writes its caption, as shown, into the node call field.
        rig.window()->Timer3_Timer();
        click(rig.find<QPushButton>(QStringLiteral("Command30")));
        QCOMPARE(rig.call()->text(), QStringLiteral("xx2bbb-r"));
    }

    // The program builds the box's controls when it first shows: what reached it before then
    // (stored choice, chosen node, a failed save) shows once it is built, ahead of the message.
    void builtOnFirstUseShowsWhatCameBefore()
    {
        QTemporaryDir dir;
        const QString path = QDir(dir.path()).filePath(kFile);
        writeFile(QDir(dir.path()).filePath(QStringLiteral("TVRset2.ini")), "[SETTINGS]\r\nNodeCall=xx2bbb-r\r\n");
        writeFile(path, "[SETTINGS]\r\nCheck1=0\r\n");
        SysopRig rig(dir.path());
        QVERIFY(rig.start());
        SysopBox *box = rig.box();
        QVERIFY(!box->findChild<QLineEdit *>());
        rig.window()->Timer3_Timer();
        click(rig.find<QPushButton>(QStringLiteral("Command30")));
        box->move(px(600, box->logicalDpiX()), px(900, box->logicalDpiY()));
        QVERIFY(box->SaveData());
        QCOMPARE(readFile(path).split(QRegularExpression(QStringLiteral("\r?\n")), Qt::SkipEmptyParts),
                 (QStringList{"[SETTINGS]", "Check1=0", "LEFT=600", "TOP=900"}));
        QVERIFY(QFile::remove(path) && QDir(dir.path()).mkdir(kFile));
        box->hideBox();
        QVERIFY(!box->findChild<QLineEdit *>());

        const QString line = QStringLiteral("XX1ABC>**XX1TST** please call me");
        rig.backend.raiseChat(line);
        QVERIFY(box->isVisible());
        QVERIFY(rig.log()->toPlainText().endsWith(line + QStringLiteral("\n\n")));
        QCOMPARE(rig.call()->text(), QStringLiteral("xx2bbb-r"));
        QVERIFY(!rig.in<QCheckBox>("Check1")->isChecked());
        QVERIFY2(rig.status().startsWith(QStringLiteral("Settings not saved: ")), qPrintable(rig.status()));

        // Built late or at once, it is the same window.
        SysopBox eager(rig.program().store(), rig.program().registry(), rig.clock);
        eager.show();
        QCOMPARE(test::windowShape(*box), test::windowShape(eager));
    }
};

QTEST_MAIN(SysopBoxTest)
#include "test_sysopbox.moc"
