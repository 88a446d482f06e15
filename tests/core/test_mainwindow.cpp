// The main window's menus, panel rules, other-window routing and its three exit paths.
#include "CoreTestKit.h"
#include "support/WindowShape.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QStyle>
#include <QTextEdit>
#include <QTimer>

using namespace tavrin;
using namespace tavrin::test;

namespace {

void click(QWidget *w)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

bool shown(Rig &rig, const char *panel) { return rig.find<QWidget>(panel)->isVisible(); }

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void menuBarInOrder()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        QStringList captions;
        for (QAction *a : rig.window()->menuBar()->actions())
            captions << a->text();
        QCOMPARE(captions, (QStringList{"File", "Frequency", "List Busy", "Node Favorites", "Remote Time", "Setup",
                                        "Sound Device", "Text Box", "User Selection", "Help / About"}));

        const QList<QPair<const char *, const char *>> entries = {
            {"fin", "Exit Program"},           {"Freq2", "Frequency User Entry"},
            {"Freq1", "Frequency Pre Set"},    {"Freq3", "Frequency Steps"},
            {"FreqReq", "What Frequency ?"},   {"ListBusy", "List Busy"},
            {"NodeFavorites", "Node Favorites"}, {"RemoteTime", "Remote Time"},
            {"DetupUser", "User Selection"},   {"Setup1", "Frequency Setup 1"},
            {"Setup4", "Frequency Setup 4"},   {"Playback", "Playback"},
            {"Recording", "Recording"},        {"TextBoxChat3", "Sysop Messages"},
            {"TextBoxChat2", "Text Box Chat"}, {"UserCommands", "User Defined Commands"},
            {"FreqSelection", "User Frequency Selection"}, {"HelpAbout", "Help / About"},
        };
        for (const auto &[name, caption] : entries) {
            QAction *a = rig.find<QAction>(name);
            QVERIFY2(a, name);
            QCOMPARE(a->text(), QString::fromLatin1(caption));
        }
        QVERIFY(rig.find<QMenu>("SoundDevice"));
        // Entries that act directly sit on the bar itself.
        QVERIFY(rig.window()->menuBar()->actions().contains(rig.find<QAction>("RemoteTime")));
    }

    void keypadAndStepsToggles()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        auto *entry = rig.find<QLineEdit>("Text3");
        entry->setText(QStringLiteral("14."));

        click(rig.find<QWidget>("Picture2"));
        QVERIFY(shown(rig, "Frame9"));
        QVERIFY(entry->text().isEmpty()); // the picture clears the entry first
        click(rig.find<QWidget>("Picture7"));
        QVERIFY(!shown(rig, "Frame9"));

        entry->setText(QStringLiteral("7"));
        rig.trigger("Freq2");
        QVERIFY(shown(rig, "Frame9"));
        QCOMPARE(entry->text(), QStringLiteral("7")); // the menu entry does not clear
        click(rig.find<QPushButton>("Command47"));
        QVERIFY(!shown(rig, "Frame9"));
        QVERIFY(entry->text().isEmpty());

        click(rig.find<QWidget>("Picture5"));
        QVERIFY(shown(rig, "Frame2"));
        rig.trigger("Freq3");
        QVERIFY(!shown(rig, "Frame2"));
        rig.trigger("Freq3");
        click(rig.find<QPushButton>("Command70"));
        QVERIFY(!shown(rig, "Frame2"));
    }

    // A 1280x720 laptop screen (less title bar and task bar) holds the window with every panel
    // open; each panel scrolls fully into view, and the frequency frame never changes width.
    void fitsASmallScreenWithEveryPanelOpen()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        MainWindow *w = rig.window();
        const QSize screen(1280, 650);
        QVERIFY2(w->minimumSizeHint().width() <= screen.width() && w->minimumSizeHint().height() <= screen.height(),
                 qPrintable(QStringLiteral("minimum %1x%2").arg(w->minimumSizeHint().width()).arg(w->minimumSizeHint().height())));
        w->resize(screen);
        QWidget *frequencyFrame = rig.find<QWidget>("Label4")->parentWidget();
        QTRY_VERIFY(frequencyFrame->width() > 0);
        const int frameWidth = frequencyFrame->width();

        auto *area = rig.find<QScrollArea>("PanelArea");
        for (const char *name : {"Frame3", "Frame9", "Frame2", "Frame8", "Frame4", "Frame10", "Frame11"})
            rig.find<QWidget>(name)->setVisible(true);
        QVERIFY(w->minimumSizeHint().width() <= screen.width() && w->minimumSizeHint().height() <= screen.height());
        w->resize(screen);
        QTRY_VERIFY(area->widget()->height() > area->viewport()->height()); // laid out, and scrolling
        QCOMPARE(frequencyFrame->width(), frameWidth);
        QVERIFY(rig.find<QWidget>("Text35")->height() >= 50);
        for (const char *name : {"Frame3", "Frame9", "Frame2", "Frame8", "Frame4", "Frame10", "Frame11"}) {
            QWidget *panel = rig.find<QWidget>(name);
            area->ensureWidgetVisible(panel, 0, 0);
            const QRect inView(panel->mapTo(area->viewport(), QPoint()), panel->size());
            QVERIFY2(area->viewport()->rect().contains(inView), name);
        }
    }

    // An operator without a mouse: Tab reaches every control in the order the window shows
    // them, the pictures act on Space and Return, a panel that closes gives the keys back to
    // where they were, and a keypad key clicked with the mouse leaves them in the entry field.
    void keyboardOnly()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        MainWindow *w = rig.window();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        const auto focus = [] { return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(); };
        QCOMPARE(focus(), QStringLiteral("Text1"));
        QCOMPARE(tabRound(),
                 (QStringList{"Text1", "Picture7", "Option1", "Command11", "Command12", "Command13", "Command14",
                              "Command15", "Command16", "Option1x", "Command29", "Command20", "Command30",
                              "Command33", "Command31", "Command68", "Command32", "Command71", "Command72", "Text2",
                              "Command1x", "Text15", "Picture2", "Picture5", "Picture6", "Picture8", "Picture1",
                              "Picture4", "RTB", "RTB2", "Command17", "Text35"}));

        // The chat log shows a caret to read and select with.
        QVERIFY(rig.find<QPlainTextEdit>("RTB2")->textInteractionFlags() & Qt::TextSelectableByKeyboard);

        // The keypad from its picture: the keys go to its entry; its X gives them back.
        auto *keypadPicture = rig.find<QWidget>("Picture2");
        keypadPicture->setFocus();
        QTest::keyClick(keypadPicture, Qt::Key_Space);
        QVERIFY(shown(rig, "Frame9"));
        QCOMPARE(focus(), QStringLiteral("Text3"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(focus(), QStringLiteral("Command39")); // 7, top left of the keys
        click(rig.find<QPushButton>("Command44"));     // 2, with the mouse
        QCOMPARE(focus(), QStringLiteral("Command39"));
        rig.find<QLineEdit>("Text3")->setFocus();
        click(rig.find<QPushButton>("Command34")); // 1
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("4"));
        QCOMPARE(rig.find<QLineEdit>("Text3")->text(), QStringLiteral("214"));
        rig.find<QWidget>("Command47")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QVERIFY(!shown(rig, "Frame9"));
        QCOMPARE(focus(), QStringLiteral("Picture2"));

        // The chooser, from its picture with Return: a choice takes the keys into its panel,
        // whose Hide brings them back to the picture.
        auto *chooserPicture = rig.find<QWidget>("Picture6");
        chooserPicture->setFocus();
        QTest::keyClick(chooserPicture, Qt::Key_Return);
        QVERIFY(shown(rig, "Frame10"));
        rig.find<QWidget>("Command74")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QVERIFY(shown(rig, "Frame8"));
        QCOMPARE(focus(), QStringLiteral("Text5"));
        rig.find<QWidget>("Command28")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QVERIFY(!shown(rig, "Frame8"));
        QCOMPARE(focus(), QStringLiteral("Picture6"));
        // A preset closes its panel: back to the band button that opened it.
        rig.find<QWidget>("Command14")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QVERIFY(shown(rig, "Frame3"));
        rig.find<QWidget>("Command3")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QVERIFY(!shown(rig, "Frame3"));
        QCOMPARE(focus(), QStringLiteral("Command14"));

        // F10 opens the menu bar, whose captions have no access keys.
        QTest::keyClick(w, Qt::Key_F10);
        QTRY_COMPARE(w->menuBar()->activeAction(), rig.find<QMenu>("FileMenu")->menuAction());
        QTest::keyClick(rig.find<QMenu>("FileMenu"), Qt::Key_Escape);

        // At a 16 pt text size the transmit-request wait still shows its whole value.
        QFont large = w->font();
        large.setPointSize(16);
        w->setFont(large);
        auto *wait = rig.find<QLineEdit>("Text15");
        wait->setText(QStringLiteral("30000"));
        QTRY_VERIFY(wait->width() >= QFontMetrics(wait->font()).horizontalAdvance(wait->text())
                                         + 2 * wait->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 4);
    }

    void presetPanelClosesAfterItsTimer()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        auto *timer = rig.find<QTimer>("Timer2");
        timer->setInterval(1);
        rig.trigger("Freq1");
        QVERIFY(shown(rig, "Frame3"));
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 10000);
        rig.window()->Timer2_Timer();
        QVERIFY(!shown(rig, "Frame3"));
        QVERIFY(!timer->isActive());
    }

    void userPanelsAndChooser()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());

        click(rig.find<QWidget>("Picture6"));
        QVERIFY(shown(rig, "Frame10"));
        click(rig.find<QPushButton>("Command74"));
        QVERIFY(shown(rig, "Frame8"));
        QVERIFY(!shown(rig, "Frame10"));
        QVERIFY(!shown(rig, "Frame4"));

        rig.trigger("UserCommands");
        QVERIFY(shown(rig, "Frame4"));
        QVERIFY(!shown(rig, "Frame8"));

        // "User Selection" of the Setup menu shows Frame8 and leaves the others alone.
        rig.trigger("DetupUser");
        QVERIFY(shown(rig, "Frame8"));
        QVERIFY(shown(rig, "Frame4"));

        click(rig.find<QWidget>("Picture6"));
        rig.trigger("FreqSelection");
        QVERIFY(!shown(rig, "Frame10"));
        QVERIFY(!shown(rig, "Frame4"));

        click(rig.find<QPushButton>("Command28"));
        QVERIFY(!shown(rig, "Frame8"));
        click(rig.find<QWidget>("Picture6"));
        click(rig.find<QPushButton>("Command75"));
        QVERIFY(shown(rig, "Frame4"));
        QVERIFY(!shown(rig, "Frame10"));
        click(rig.find<QPushButton>("Command18"));
        QVERIFY(!shown(rig, "Frame4"));
        click(rig.find<QWidget>("Picture6"));
        click(rig.find<QPushButton>("Command76"));
        QVERIFY(!shown(rig, "Frame10"));
        QVERIFY(!QFile::exists(dir.filePath("TVRradio.ini")));
    }

    void saveChangesSavesAndHides()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        rig.trigger("FreqSelection");
        rig.find<QLineEdit>("Text6")->setText(QStringLiteral("7.0600"));
        click(rig.find<QPushButton>("Command27"));
        QVERIFY(!shown(rig, "Frame8"));
        const QString content = readFile(dir.filePath("TVRradio.ini"));
        QVERIFY(content.contains(QStringLiteral("TEXT6=7.0600")));
        QVERIFY(content.contains(QStringLiteral("TEXT5=3.6950")));
        QVERIFY(content.contains(QStringLiteral("Option1=True")));
    }

    void otherWindowsShownThroughTheRegistry()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        rig.trigger("Setup3");
        QVERIFY(rig.program().registry().window("FormSet3")->isVisible());
        QVERIFY(!rig.program().registry().window("FormSet1")->isVisible());
        // An editor's "Freq Setup N" buttons open the other editors.
        QWidget *set3 = rig.program().registry().window("FormSet3");
        click(set3->findChild<QPushButton *>(QStringLiteral("Command5")));
        QVERIFY(rig.program().registry().window("FormSet4")->isVisible());

        // Windows still to come: registering one is all it takes.
        QWidget about;
        about.setObjectName(QStringLiteral("Form14"));
        QWidget chat;
        chat.setObjectName(QStringLiteral("Messages"));
        rig.program().registry().add(&about);
        rig.program().registry().add(&chat);
        rig.trigger("HelpAbout");
        QVERIFY(about.isVisible());
        // Selecting text in the chat log to copy it leaves the chat window alone; a click shows it.
        QWidget *chatLog = rig.find<QPlainTextEdit>("RTB2")->viewport();
        QTest::mousePress(chatLog, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(chatLog, Qt::LeftButton, {}, QPoint(60, 5));
        QVERIFY(!chat.isVisible());
        click(chatLog);
        QVERIFY(chat.isVisible());
        // Absent windows are skipped quietly.
        rig.trigger("NodeFavorites");
        rig.trigger("TextBoxChat3");
        click(rig.find<QWidget>("Picture8"));
        click(rig.find<QPushButton>("Command19"));
    }

    void clearEmptiesTheChatLog()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        auto *log = rig.find<QPlainTextEdit>("RTB2");
        log->setPlainText(QStringLiteral("XX9XYZ-L>hello"));
        click(rig.find<QPushButton>("Command17"));
        QVERIFY(log->toPlainText().isEmpty());
    }

    void remoteQueriesAndBusyListing()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        rig.trigger("FreqReq");
        rig.find<QTextEdit>("RTB")->setPlainText(QStringLiteral("old line"));
        rig.trigger("RemoteTime");
        QCOMPARE(rig.backend.sent(), (QStringList{"FR?", "Time?"}));
        QVERIFY(rig.find<QTextEdit>("RTB")->toPlainText().isEmpty());
        QVERIFY(rig.find<QTimer>("Timer1")->isActive());
        rig.window()->Timer1_Timer();
        QVERIFY(!rig.find<QTextEdit>("RTB")->isVisible());

        rig.trigger("ListBusy");
        QVERIFY(rig.find<QLabel>("Label10")->isVisible());
        rig.trigger("ListBusy");
        QVERIFY(!rig.find<QLabel>("Label10")->isVisible());
        const QList<FakeCall> busy = rig.backend.callsOf(QStringLiteral("SetBusy"));
        QCOMPARE(busy.size(), 2);
        QCOMPARE(busy.at(0).argument, QStringLiteral("true"));
        QCOMPARE(busy.at(1).argument, QStringLiteral("false"));

        // A refused busy request leaves the indicator as it was and says why.
        rig.backend.failing.insert(QStringLiteral("SetBusy"));
        rig.trigger("ListBusy");
        QVERIFY(!rig.find<QLabel>("Label10")->isVisible());
        QVERIFY(!rig.find<QLabel>("StatusLine")->text().isEmpty());
    }

    void exitPathsSaveAndEndOnce_data()
    {
        QTest::addColumn<int>("path");
        QTest::newRow("Exit Program") << 0;
        QTest::newRow("window closed") << 1;
        QTest::newRow("client closing") << 2;
    }
    void exitPathsSaveAndEndOnce()
    {
        QFETCH(int, path);
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        QSignalSpy ended(&rig.program(), &Program::ended);
        rig.find<QLineEdit>("Text8")->setText(QStringLiteral("18.1200"));

        const auto leave = [&] {
            if (path == 0)
                rig.trigger("fin");
            else if (path == 1)
                rig.window()->close();
            else
                rig.backend.raiseClosing();
        };
        leave();
        QVERIFY(readFile(dir.filePath("TVRradio.ini")).contains(QStringLiteral("TEXT8=18.1200")));
        QCOMPARE(ended.size(), 0); // queued: the handler finishes first
        QTRY_COMPARE(ended.size(), 1);
        QCOMPARE(ended.first().first().toInt(), 0);

        // Another exit request while ending changes nothing.
        rig.find<QLineEdit>("Text8")->setText(QStringLiteral("21.2000"));
        rig.trigger("fin");
        rig.window()->close();
        rig.program().endProgram(3);
        QTest::qWait(20);
        QCOMPARE(ended.size(), 1);
        QVERIFY(!readFile(dir.filePath("TVRradio.ini")).contains(QStringLiteral("21.2000")));
        QVERIFY(rig.dialogs.shown.isEmpty());
    }

    // The main window may have no handle of its own (the client came up only after it asked):
    // the client closing, heard by the chat window or the favourites alone, still saves first.
    void clientClosingHeardElsewhereStillSaves_data()
    {
        QTest::addColumn<QString>("window");
        QTest::newRow("chat window") << QStringLiteral("Messages");
        QTest::newRow("node favourites") << QStringLiteral("Form25");
    }
    void clientClosingHeardElsewhereStillSaves()
    {
        QFETCH(QString, window);
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        QSignalSpy ended(&rig.program(), &Program::ended);
        rig.find<QLineEdit>("Text8")->setText(QStringLiteral("18.1200"));
        QVERIFY(QMetaObject::invokeMethod(rig.program().registry().window(window), "endProgramRequested"));
        QVERIFY(readFile(dir.filePath("TVRradio.ini")).contains(QStringLiteral("TEXT8=18.1200")));
        QTRY_COMPARE(ended.size(), 1);
    }

    // Whichever way the program ends, a keyed transmitter is released first and a waiting
    // transmit request is called off; a release the client refuses is said before the end.
    void endingReleasesTheTransmitter_data()
    {
        QTest::addColumn<int>("path");
        QTest::newRow("Exit Program") << 0;
        QTest::newRow("window closed") << 1;
        QTest::newRow("client closing") << 2;
        QTest::newRow("ended directly") << 3; // the updater's start, the chat window
    }
    void endingReleasesTheTransmitter()
    {
        QFETCH(int, path);
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        rig.window()->timer(3)->stop(); // the fake client would read the transmitter back
        station::StationState &state = rig.window()->station();
        state.setStationCount(1);
        click(rig.find<QPushButton>("Command1x")); // keyed
        QVERIFY(state.transmitting());
        state.setReceiving(true);
        click(rig.find<QPushButton>("Command1x")); // and a request waits for the link
        QVERIFY(state.transmit().requestPending());
        rig.backend.clearCalls();

        if (path == 0)
            rig.trigger("fin");
        else if (path == 1)
            rig.window()->close();
        else if (path == 2)
            rig.backend.raiseClosing();
        else
            rig.program().endProgram();
        QCOMPARE(rig.backend.callsOf(QStringLiteral("SetTransmit")).size(), 1);
        QCOMPARE(rig.backend.callsOf(QStringLiteral("SetTransmit")).first().argument, QStringLiteral("false"));
        QVERIFY(!state.transmitting());
        QVERIFY(!state.transmit().requestPending()); // nothing keys again while the program ends
        QVERIFY(rig.dialogs.shown.isEmpty());
    }

    void refusedReleaseAtExitIsReported()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QVERIFY(rig.start());
        rig.window()->timer(3)->stop();
        rig.window()->station().setStationCount(1);
        click(rig.find<QPushButton>("Command1x"));
        QVERIFY(rig.window()->station().transmitting());
        rig.backend.failing.insert(QStringLiteral("SetTransmit"));
        rig.trigger("fin");
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QVERIFY(rig.dialogs.shown.first().text.contains(QStringLiteral("SetTransmit failed")));
        QVERIFY(readFile(dir.filePath("TVRradio.ini")).contains(QStringLiteral("TEXT5="))); // still saved
    }

    void failedSaveIsReported()
    {
        QTemporaryDir dir;
        // A folder where the file should be: every save of it fails.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("TVRradio.ini")));
        Rig rig(dir.path());
        QVERIFY(rig.start());
        // Said once at start-up: that file cannot be read.
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QVERIFY(rig.dialogs.shown.takeFirst().text.contains(QStringLiteral("TVRradio.ini")));

        rig.trigger("FreqSelection");
        click(rig.find<QPushButton>("Command27"));
        const QString status = rig.find<QLabel>("StatusLine")->text();
        QVERIFY(!status.isEmpty());
        QVERIFY(rig.dialogs.shown.isEmpty()); // not an exit path: the status line is enough

        // Once the file can be written again, the stale error goes away.
        QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("TVRradio.ini")));
        QVERIFY(rig.window()->SaveData().ok);
        QVERIFY(rig.find<QLabel>("StatusLine")->text().isEmpty());
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("TVRradio.ini"))));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("TVRradio.ini")));

        QSignalSpy ended(&rig.program(), &Program::ended);
        rig.trigger("fin");
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown.first().icon, QMessageBox::Warning);
        QVERIFY(rig.dialogs.shown.first().text.contains(rig.find<QLabel>("StatusLine")->text()));
        QVERIFY(!rig.find<QLabel>("StatusLine")->text().isEmpty());
        QCOMPARE(ended.size(), 0); // the warning came before the end
        QTRY_COMPARE(ended.size(), 1);
    }

    void otherExitsWhileTheExitWarningWaitsAddNothing()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("TVRradio.ini"))); // every save fails
        Rig rig(dir.path());
        QVERIFY(rig.start());
        rig.dialogs.shown.clear(); // the start-up warning about that file
        QSignalSpy ended(&rig.program(), &Program::ended);
        bool once = false;
        rig.dialogs.whileShown = [&rig, &once] {
            if (std::exchange(once, true))
                return;
            rig.backend.raiseClosing();
            rig.window()->close();
            rig.window()->exitProgram();
        };
        rig.trigger("fin");
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QTRY_COMPARE(ended.size(), 1);
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_mainwindow.moc"
