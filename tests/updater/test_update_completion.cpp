// What follows an update: the restart or the message box, "Exit" and closing the window
// during a download, and the speed labels.

#include "UpdaterTestKit.h"

#include "core/InstanceLock.h"
#include "updater/DoneItWindow.h"

#include <QLineEdit>
#include <QPlainTextEdit>

using namespace tavrin::updater;
using namespace tavrin::updater::test;
using tavrin::test::HttpResponse;

class UpdateCompletionTest : public QObject {
    Q_OBJECT

    // A download that hangs half-way, so the test can act while it runs.
    static void offerHanging(UpdaterRig &rig)
    {
        HttpResponse response;
        response.body = programBytes(100000);
        response.stallAfterBytes = 20000;
        rig.server.setResponse("/Tavrin.exe", response);
        rig.server.setBody("/Tavrin.exe.manifest", rig.key.manifest(response.body));
    }
    static bool waitForTemporaryFile(UpdaterRig &rig)
    {
        return QTest::qWaitFor([&] { return rig.window->download().bytesReceived() >= 20000; }, 5000);
    }

private slots:
    void completionRestartsOnlyTheDefaultInstall()
    {
        // Installed in the default directory: the new program is started with our arguments.
        {
            UpdaterRig rig;
            rig.offer(programBytes(1000));
            UpdaterWindow &w = rig.open(rig.options(rig.programDir()));
            QSignalSpy ended(&w, &UpdaterWindow::ended);
            QVERIFY(rig.update());
            w.Timer1_Timer();
            QCOMPARE(rig.started.size(), 1);
            QCOMPARE(rig.started.first().program, rig.target());
            QCOMPARE(rig.started.first().arguments, QStringList({QStringLiteral("--settings-dir"), QStringLiteral("/cfg")}));
            QCOMPARE(rig.dialogs.texts, QStringList());
            QCOMPARE(ended.size(), 1);
            QVERIFY(!w.doneIt()->isVisible());
            QVERIFY(!rig.find<QTimer>("Timer1")->isActive());
        }
        // Elsewhere, or the default written in other letter case: the message box, no start.
        for (const bool otherCase : {false, true}) {
            UpdaterRig rig;
            rig.offer(programBytes(1000));
            const QString defaultDir = otherCase ? rig.programDir().toUpper() : QStringLiteral("/opt/elsewhere/");
            UpdaterWindow &w = rig.open(rig.options(defaultDir));
            QSignalSpy ended(&w, &UpdaterWindow::ended);
            QVERIFY(rig.update());
            w.Timer1_Timer();
            QCOMPARE(rig.started.size(), 0);
            QCOMPARE(rig.dialogs.texts,
                     QStringList({QStringLiteral("Program Updated. Start you program to see the new updates")}));
            QCOMPARE(ended.size(), 1);
        }
        // The old program still runs on its settings (the updater was started by hand): a new
        // copy would only say so, so the user is told to restart it.
        {
            UpdaterRig rig;
            QTemporaryDir settings;
            auto running = std::make_unique<tavrin::InstanceLock>(settings.filePath(QStringLiteral("tavrin.lock")));
            QCOMPARE(running->tryLock(), tavrin::InstanceLock::Result::Locked);
            rig.offer(programBytes(1000));
            UpdaterOptions options = rig.options(rig.programDir());
            options.programRunning = [&settings] { return mainProgramRunsOn(settings.path()); };
            UpdaterWindow &w = rig.open(options);
            QVERIFY(rig.update());
            w.Timer1_Timer();
            QCOMPARE(rig.started.size(), 0);
            QCOMPARE(rig.dialogs.texts.size(), 1);
            running.reset(); // it ended
            QVERIFY(!mainProgramRunsOn(settings.path()));
        }
        // The new program will not start: the user is told to start it.
        {
            UpdaterRig rig;
            rig.starterWorks = false;
            rig.offer(programBytes(1000));
            UpdaterWindow &w = rig.open(rig.options(rig.programDir()));
            QVERIFY(rig.update());
            w.Timer1_Timer();
            QCOMPARE(rig.started.size(), 1);
            QCOMPARE(rig.dialogs.texts.size(), 1);
        }
    }

    void exitDuringADownloadCancelsAndCleansUp()
    {
        UpdaterRig rig;
        offerHanging(rig);
        UpdaterWindow &w = rig.open();
        QSignalSpy ended(&w, &UpdaterWindow::ended);
        QTest::mouseClick(rig.find<QPushButton>("Command3"), Qt::LeftButton);
        QCOMPARE(rig.status(), QStringLiteral("Downloading Update"));
        QVERIFY(!rig.find<QPushButton>("Command3")->isEnabled());
        QVERIFY(waitForTemporaryFile(rig));
        QCOMPARE(rig.strayFiles().size(), 1); // the partial download

        QTest::mouseClick(rig.find<QPushButton>("Command2"), Qt::LeftButton);
        QVERIFY(!w.download().inProgress());
        QCOMPARE(rig.strayFiles(), QStringList());
        QCOMPARE(rig.installed(), QByteArray(UpdaterRig::kOldProgram));
        QCOMPARE(ended.size(), 1);
        QCOMPARE(rig.started.size(), 1); // "Exit" goes back to the (old) program
        QVERIFY(!w.doneIt()->isVisible());
        QVERIFY(!rig.find<QTimer>("Timer1")->isActive());
        QTRY_COMPARE(rig.server.openConnections(), 0); // the transfer was really dropped
    }

    void closingDuringADownloadHidesCancelsThenEnds()
    {
        UpdaterRig rig;
        offerHanging(rig);
        UpdaterWindow &w = rig.open();
        QSignalSpy ended(&w, &UpdaterWindow::ended);
        QTest::mouseClick(rig.find<QPushButton>("Command3"), Qt::LeftButton);
        QVERIFY(waitForTemporaryFile(rig));

        QVERIFY(!w.close()); // refused: the window stays loaded, hidden
        QVERIFY(!w.isVisible());
        QVERIFY(!w.download().inProgress());
        QCOMPARE(rig.strayFiles(), QStringList());
        QCOMPARE(rig.installed(), QByteArray(UpdaterRig::kOldProgram));
        auto *speedTimer = rig.find<QTimer>("tmrSpeedTest");
        QVERIFY(speedTimer->isActive());
        QCOMPARE(speedTimer->interval(), 500);
        QCOMPARE(ended.size(), 0);

        w.tmrSpeedTest_Timer(); // the close check finds the download over
        QCOMPARE(ended.size(), 1);
        QVERIFY(!speedTimer->isActive());
        QVERIFY(!rig.find<QTimer>("Timer1")->isActive());
        QCOMPARE(rig.started.size(), 0);
        QVERIFY(!w.doneIt()->isVisible());
    }

    void closingWhileIdleEndsAtOnce()
    {
        UpdaterRig rig;
        UpdaterWindow &w = rig.open();
        QSignalSpy ended(&w, &UpdaterWindow::ended);
        QVERIFY(w.close());
        QCOMPARE(ended.size(), 1);
        QCOMPARE(rig.started.size(), 0);
    }

    void speedAndTimeLeftFollowTheTransfer()
    {
        UpdaterRig rig;
        offerHanging(rig);
        UpdaterWindow &w = rig.open();
        auto *speed = rig.find<QLabel>("lblData(1)");
        auto *timeLeft = rig.find<QLabel>("lblData(2)");
        QCOMPARE(speed->text(), QStringLiteral("Average"));
        QCOMPARE(timeLeft->text(), QStringLiteral("Time Left"));
        QVERIFY(speed->isVisibleTo(&w));
        QVERIFY(timeLeft->isVisibleTo(&w));
        QTest::mouseClick(rig.find<QPushButton>("Command3"), Qt::LeftButton);
        QVERIFY(rig.find<QTimer>("tmrSpeedTest")->isActive());
        QVERIFY(waitForTemporaryFile(rig));
        w.tmrSpeedTest_Timer();
        // 20000 bytes in the first second, 80000 to go.
        QCOMPARE(speed->text(), QStringLiteral("Average : 19.5 / Kbps"));
        QCOMPARE(timeLeft->text(), QStringLiteral("Time Left : 0:04"));
        w.tmrSpeedTest_Timer(); // nothing new: the labels keep their last figures
        QCOMPARE(speed->text(), QStringLiteral("Average : 19.5 / Kbps"));
        QCOMPARE(rig.find<QLabel>("lblData(0)")->text(), QStringLiteral("20.0 Kb ")); // 39 whole blocks: 19968 bytes
        w.download().cancel();
        QCOMPARE(rig.status(), QStringLiteral("Update failed: cancelled"));
        QCOMPARE(timeLeft->text(), QStringLiteral("Time Left")); // no countdown beside a failure
        QVERIFY(!rig.find<QTimer>("tmrSpeedTest")->isActive());
    }

    void windowTextsAndScreenshots()
    {
        UpdaterRig rig;
        UpdaterWindow &w = rig.open();
        QCOMPARE(w.windowTitle(), QStringLiteral("Update Tavricon"));
        QCOMPARE(w.objectName(), QStringLiteral("Updater"));
        QCOMPARE(rig.find<QPushButton>("Command3")->text(), QStringLiteral("Update Tavricon"));
        QCOMPARE(rig.find<QPushButton>("Command2")->text(), QStringLiteral("Exit"));
        QCOMPARE(rig.find<QPushButton>("Command2")->toolTip(), QStringLiteral("Hide this screen"));
        auto *text1 = rig.find<QPlainTextEdit>("Text1");
        QVERIFY(text1->isReadOnly());
        QCOMPARE(text1->toPlainText(), QStringLiteral("This option is to enable you to update your \nTavricon program. \n"
                                                      "http://www.tavrin.example/"));
        QVERIFY(!rig.find<QLineEdit>("ProgDir")->isVisible());
        QCOMPARE(rig.find<QLineEdit>("ProgDir")->text(), rig.programDir());
        QVERIFY(!rig.find<QTimer>("Timer1")->isActive());
        QCOMPARE(w.targetPath(), rig.target());
        QCOMPARE(w.doneIt()->windowTitle(), QString());
        QStringList doneTexts;
        for (auto *label : w.doneIt()->findChildren<QLabel *>())
            doneTexts << label->text();
        QCOMPARE(doneTexts.mid(0, 2), QStringList({QStringLiteral("Download Update Complete"),
                                                  QStringLiteral("Updated Tavrin with your New Updates")}));

        // Pictures for the eye, when the checkout has a screenshots folder.
        const QString shots = QFINDTESTDATA("../../screenshots");
        if (!shots.isEmpty()) {
            w.grab().save(shots + QStringLiteral("/updater.png"));
            w.doneIt()->show();
            w.doneIt()->grab().save(shots + QStringLiteral("/updater-doneit.png"));
        }
    }
};

QTEST_MAIN(UpdateCompletionTest)
#include "test_update_completion.moc"
