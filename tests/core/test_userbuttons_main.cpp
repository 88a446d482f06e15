// The user buttons and the favourites inside the whole program: load order, captions that
// follow the editor, the lines the buttons send, failures on the main window, and the
// menu and button that show both windows.
#include "CoreTestKit.h"

#include "core/WindowRegistry.h"
#include "protocol/TimeTexts.h"
#include "protocol/UserCommandLine.h"
#include "settings/NodeFavorites.h"
#include "settings/UserButtonEditor.h"

#include "BuildConfig.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

using namespace tavrin;
using namespace tavrin::test;

namespace {

QStringList userCaptions(Rig &rig)
{
    QStringList captions;
    for (int n = 81; n <= 92; ++n)
        captions << rig.find<QPushButton>(QStringLiteral("Command%1").arg(n))->text();
    return captions;
}

UserButtonEditor *editorOf(Rig &rig)
{
    return rig.program().registry().get<UserButtonEditor>("Form1");
}

NodeFavorites *favoritesOf(Rig &rig)
{
    return rig.program().registry().get<NodeFavorites>("Form25");
}

// A control looked up by name: a hidden window builds its controls for it.
template <class T>
T *controlOf(Rig &rig, const char *window, const char *name)
{
    return rig.program().registry().control<T>(QString::fromLatin1(window), QString::fromLatin1(name));
}

// The rig's clock stands at 09:05:07.
const QString kPressTime = remote::defaultTimeText(QTime(9, 5, 7));

QString afterTime(const QString &line)
{
    return line.startsWith(kPressTime + ' ') ? line.mid(kPressTime.size() + 1)
                                             : QStringLiteral("<no time in: %1>").arg(line);
}

} // namespace

class TestUserButtonsMain : public QObject {
    Q_OBJECT
private slots:
    void userCommandLineJoinsTimeAndCommand();
    void windowsLoadHiddenInOrderWithTheirOwnHandles();
    void captionsFollowTheEditorTickAndRestart();
    void buttonsSendTimeAndCommand();
    void sendFailureShowsOnMainWindow();
    void mainWindowShowsBothWindows();
    void favoritesWithoutClientAndClosing();
};

void TestUserButtonsMain::userCommandLineJoinsTimeAndCommand()
{
    QCOMPARE(userCommandLine("14:05:09", "CV?"), QString("14:05:09 CV?"));
    QCOMPARE(userCommandLine("14:05:09", ""), QString("14:05:09 "));
    QCOMPARE(userCommandLine("2:05:09 PM", " a  b "), QString("2:05:09 PM  a  b "));
    QVERIFY(kPressTime.contains("05:07")); // the platform text keeps minutes and seconds
}

void TestUserButtonsMain::windowsLoadHiddenInOrderWithTheirOwnHandles()
{
    QTemporaryDir dir;
    Rig rig(dir.path());
    QVERIFY(rig.start());
    UserButtonEditor *editor = editorOf(rig);
    NodeFavorites *favorites = favoritesOf(rig);
    QVERIFY(editor && favorites);
    QVERIFY(!editor->isVisible());
    QVERIFY(!favorites->isVisible());
    QVERIFY(!editor->parent() && !favorites->parent()); // top-level windows
    QVERIFY(editor->findChild<QTimer *>("Timer1")->isActive());

    // Favourites ask with a handle of their own, created after the main window's.
    QVERIFY(favorites->client());
    QVERIFY(favorites->client() != rig.window()->client());
    QCOMPARE(favorites->windowTitle(), QString(TAVRIN_PRODUCT_NAME "  XX1TST-L  v%1.%2.%3")
                                           .arg(TAVRIN_VERSION_MAJOR)
                                           .arg(TAVRIN_VERSION_MINOR)
                                           .arg(TAVRIN_VERSION_REVISION));
    rig.backend.clearCalls();
    QTest::mouseClick(controlOf<QPushButton>(rig, "Form25", "Command1"), Qt::LeftButton);
    const QList<FakeCall> calls = rig.backend.callsOf("Connect");
    QCOMPARE(calls.size(), 1);
    QVERIFY(calls.first().handle > 0);
    QCOMPARE(calls.first().argument, QString("XX9XYZ-L"));
}

void TestUserButtonsMain::captionsFollowTheEditorTickAndRestart()
{
    QTemporaryDir dir;
    {
        Rig rig(dir.path());
        QVERIFY(rig.start());
        // Stored or default captions from the start.
        QCOMPARE(userCaptions(rig), QStringList({"Voice On/Off", "Signal Report", "SQL Active", "SQL Disable",
                                                 "PreAmp On/Off", "", "", "", "", "", "", ""}));

        UserButtonEditor *editor = editorOf(rig);
        QLineEdit *caption = controlOf<QLineEdit>(rig, "Form1", "Text12");
        QTest::keyClicks(caption, "Band Scan");
        QCOMPARE(rig.find<QPushButton>("Command92")->text(), QString()); // not before the tick
        editor->Timer1_Timer();
        QCOMPARE(rig.find<QPushButton>("Command92")->text(), QString("Band Scan"));
        QCOMPARE(rig.find<QPushButton>("Command81")->text(), QString("Voice On/Off"));

        // Also with the real timer, hidden window and all.
        caption->setFocus();
        QTest::keyClick(caption, Qt::Key_Backspace);
        QTRY_COMPARE_WITH_TIMEOUT(rig.find<QPushButton>("Command92")->text(), QString("Band Sca"), 2500);
        // Not saved: the main window's exit saves only its own file.
        rig.window()->close();
    }
    {
        Rig rig(dir.path());
        QVERIFY(rig.start());
        QCOMPARE(rig.find<QPushButton>("Command92")->text(), QString());
        QVERIFY(!QFile::exists(QDir(dir.path()).filePath("TVRbuttons.ini")));
    }
}

void TestUserButtonsMain::buttonsSendTimeAndCommand()
{
    QTemporaryDir dir;
    Rig rig(dir.path());
    QVERIFY(rig.start());
    rig.backend.clearCalls();

    QTest::mouseClick(rig.find<QPushButton>("Command81"), Qt::LeftButton);
    QTest::mouseClick(rig.find<QPushButton>("Command85"), Qt::LeftButton);
    // An empty command still sends the time and its space.
    QTest::mouseClick(rig.find<QPushButton>("Command86"), Qt::LeftButton);
    QStringList sent = rig.backend.sent();
    QCOMPARE(sent.size(), 3);
    QCOMPARE(afterTime(sent.at(0)), QString("CV?"));
    QCOMPARE(afterTime(sent.at(1)), QString("CPA?"));
    QCOMPARE(afterTime(sent.at(2)), QString());
    QVERIFY(sent.at(2).endsWith(' '));
    for (const FakeCall &c : rig.backend.callsOf("SendChatText"))
        QCOMPARE(c.handle, 0); // the main window's handle

    // The command text in use is the editor's, saved or not, with no tick needed; the time is
    // the one at the press.
    rig.backend.clearCalls();
    QTest::keyClicks(controlOf<QLineEdit>(rig, "Form1", "Text12a"), "  SQ 5?");
    rig.clock.set(QDateTime(QDate(2024, 5, 4), QTime(21, 5, 7)));
    QTest::mouseClick(rig.find<QPushButton>("Command92"), Qt::LeftButton);
    sent = rig.backend.sent();
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first(), remote::defaultTimeText(QTime(21, 5, 7)) + "   SQ 5?"); // unchanged, spaces kept

    // A pasted line break cannot make one click two chat lines: it becomes a blank.
    controlOf<QLineEdit>(rig, "Form1", "Text11a")->insert("CV?\r\nFN7.1");
    QTest::mouseClick(rig.find<QPushButton>("Command91"), Qt::LeftButton);
    QCOMPARE(rig.backend.sent().last(), remote::defaultTimeText(QTime(21, 5, 7)) + " CV?  FN7.1");
}

void TestUserButtonsMain::sendFailureShowsOnMainWindow()
{
    QTemporaryDir dir;
    Rig rig(dir.path());
    QVERIFY(rig.start());
    rig.backend.failing << "SendChatText";
    QTest::mouseClick(rig.find<QPushButton>("Command83"), Qt::LeftButton);
    const QString status = rig.find<QLabel>("StatusLine")->text();
    QVERIFY2(status.contains("3"), qPrintable(status));
    QVERIFY(rig.window()->isVisible());

    // The window stays usable: the next press goes out.
    rig.backend.failing.clear();
    QTest::mouseClick(rig.find<QPushButton>("Command83"), Qt::LeftButton);
    QCOMPARE(afterTime(rig.backend.sent().last()), QString("CVSA?"));
    // ... and the failure it reported no longer stands.
    QCOMPARE(rig.find<QLabel>("StatusLine")->text(), QString());
}

void TestUserButtonsMain::mainWindowShowsBothWindows()
{
    QTemporaryDir dir;
    Rig rig(dir.path());
    QVERIFY(rig.start());
    QTest::mouseClick(rig.find<QPushButton>("Command19"), Qt::LeftButton);
    QVERIFY(editorOf(rig)->isVisible());
    rig.trigger("NodeFavorites");
    QVERIFY(favoritesOf(rig)->isVisible());

    // Hiding keeps the edit in use until the end of the run.
    QTest::keyClicks(controlOf<QLineEdit>(rig, "Form25", "Text2"), "w1aw");
    QTest::mouseClick(controlOf<QPushButton>(rig, "Form25", "EndAndSave"), Qt::LeftButton);
    QVERIFY(!favoritesOf(rig)->isVisible());
    rig.trigger("NodeFavorites");
    QCOMPARE(controlOf<QLineEdit>(rig, "Form25", "Text2")->text(), QString("W1AW"));

    // A window left minimised comes back when asked for again, from the menu or another editor.
    favoritesOf(rig)->setWindowState(Qt::WindowMinimized);
    rig.trigger("NodeFavorites");
    QVERIFY(!favoritesOf(rig)->isMinimized());
    QWidget *set2 = rig.program().registry().window("FormSet2");
    rig.trigger("Setup1");
    set2->show();
    set2->setWindowState(Qt::WindowMinimized);
    QTest::mouseClick(controlOf<QPushButton>(rig, "FormSet1", "Command3"), Qt::LeftButton);
    QVERIFY(!set2->isMinimized());
}

void TestUserButtonsMain::favoritesWithoutClientAndClosing()
{
    QTemporaryDir dir;
    {
        Rig rig(dir.path());
        rig.backend.clientExists = false;
        QVERIFY(rig.start());
        NodeFavorites *favorites = favoritesOf(rig);
        QVERIFY(favorites && !favorites->client());
        QCOMPARE(controlOf<QLabel>(rig, "Form25", "StatusLine")->text(), QString("EchoLink client not running"));
        QCOMPARE(favorites->windowTitle(), QString(TAVRIN_PRODUCT_NAME "  v%1.%2.%3")
                                               .arg(TAVRIN_VERSION_MAJOR)
                                               .arg(TAVRIN_VERSION_MINOR)
                                               .arg(TAVRIN_VERSION_REVISION));
        // The user buttons still have their captions, and a press says why nothing went out.
        QCOMPARE(rig.find<QPushButton>("Command81")->text(), QString("Voice On/Off"));
        QTest::mouseClick(rig.find<QPushButton>("Command81"), Qt::LeftButton);
        QVERIFY(!rig.find<QLabel>("StatusLine")->text().isEmpty());
    }
    {
        Rig rig(dir.path());
        QVERIFY(rig.start());
        QSignalSpy ended(&rig.program(), &Program::ended);
        emit favoritesOf(rig)->endProgramRequested();
        QVERIFY(rig.program().isEnding());
        QTRY_COMPARE(ended.size(), 1);
    }
}

QTEST_MAIN(TestUserButtonsMain)
#include "test_userbuttons_main.moc"
