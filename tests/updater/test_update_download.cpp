// Updates over real HTTP on loopback: what reaches the program directory and what the window
// says, for good, short, stalled, trickling, redirected, missing, unsigned, wrongly signed,
// older and oversized downloads, and for unusable program directories.

#include "UpdaterTestKit.h"

#include "updater/DoneItWindow.h"

#include <QAccessible>

using namespace tavrin::updater;
using namespace tavrin::updater::test;
using tavrin::test::HttpRequest;
using tavrin::test::HttpResponse;

namespace {

const QString kFailed = QStringLiteral("Update failed: ");

} // namespace

class UpdateDownloadTest : public QObject {
    Q_OBJECT
private slots:
    void signedDownloadIsInstalledWithBlockTexts()
    {
        UpdaterRig rig;
        const QByteArray content = programBytes(2048);
        rig.offer(content);
        UpdaterWindow &w = rig.open();
        QCOMPARE(rig.status(), QStringLiteral("Ready"));
        QSignalSpy texts(&w, &UpdaterWindow::amountShown);
        QVERIFY(rig.update());

        QStringList shown;
        for (const auto &args : texts)
            shown << args.at(0).toString();
        QCOMPARE(shown, QStringList({QStringLiteral("0.5 Kb "), QStringLiteral("1.0 Kb "), QStringLiteral("1.5 Kb "),
                                     QStringLiteral("2.0 Kb ")}));
        QCOMPARE(rig.installed(), content);
        QVERIFY(QFileInfo(rig.target()).isExecutable());
        QCOMPARE(rig.strayFiles(), QStringList()); // no temporary file left behind
        QFile backup(rig.target() + QStringLiteral(".previous"));
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QCOMPARE(backup.readAll(), QByteArray(UpdaterRig::kOldProgram));
        // The manifest is fetched first, from the program's address with ".manifest" appended.
        QCOMPARE(rig.server.requests().size(), 2);
        QCOMPARE(rig.server.requests().at(0).path, QByteArray("/Tavrin.exe.manifest"));
        for (const HttpRequest &request : rig.server.requests())
            QCOMPARE(request.header("User-Agent"), QByteArray("Downloader Demo"));

        QCOMPARE(rig.status(), QStringLiteral("Stand By"));
        QCOMPARE(rig.find<QLabel>("lblData(0)")->text(), QString());
        QVERIFY(rig.find<QPushButton>("Command3")->isEnabled());
        QVERIFY(!w.isVisible());
        QVERIFY(w.doneIt()->isVisible());
        auto *timer1 = rig.find<QTimer>("Timer1");
        QVERIFY(timer1->isActive());
        QCOMPARE(timer1->interval(), 7000);
    }

    void leftoversOfAnInterruptedUpdateAreCleared()
    {
        UpdaterRig rig;
        // What a crash in the middle of an earlier download leaves behind, and a file of the
        // user's that only looks similar.
        const QString program = QLatin1String(tavrin::platform::kMainProgramFile);
        for (const QString &name : {u'.' + program + QStringLiteral(".update-a1B2c3"),
                                    u'.' + program + QStringLiteral(".update-zzzzzz"),
                                    program + QStringLiteral(".update-keepme")}) {
            QFile f(rig.programDir() + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("partial");
        }
        rig.offer(programBytes(600));
        rig.open();
        QVERIFY(rig.update());
        QCOMPARE(rig.strayFiles(), QStringList{program + QStringLiteral(".update-keepme")});
    }

    void sizesAndChunkingDoNotChangeTheOutcome()
    {
        // No Content-Length: the size is unknown and the download runs to the close.
        {
            UpdaterRig rig;
            const QByteArray content = programBytes(3000);
            rig.offer(content);
            HttpResponse response;
            response.body = content;
            response.omitContentLength = true;
            rig.server.setResponse("/Tavrin.exe", response);
            UpdaterWindow &w = rig.open();
            QSignalSpy texts(&w, &UpdaterWindow::amountShown);
            QVERIFY(rig.update());
            QCOMPARE(rig.installed(), content);
            QCOMPARE(texts.size(), 6); // five full blocks and the short last one
            QCOMPARE(texts.last().at(0).toString(), QStringLiteral("3.0 Kb "));
            QCOMPARE(w.download().expectedSize(), 3000); // the manifest's
        }
        // A large file arrives whole, block texts counted right.
        {
            UpdaterRig rig;
            const QByteArray content = programBytes(3 * 1024 * 1024 + 7, 9);
            rig.offer(content);
            UpdaterWindow &w = rig.open();
            QSignalSpy texts(&w, &UpdaterWindow::amountShown);
            QVERIFY(rig.update());
            QCOMPARE(rig.installed(), content);
            QCOMPARE(texts.size(), 3 * 1024 * 2 + 1);
            QCOMPARE(rig.find<QLabel>("Label2")->text(), QStringLiteral("Stand By"));
        }
    }

    void brokenTransfersLeaveTheOldProgram_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("closed mid-transfer") << 0 << QStringLiteral("Connection Terminated");
        QTest::newRow("stalled") << 1 << QStringLiteral("Timeout: no data from the server for 0.4 s");
        QTest::newRow("never answers") << 2 << QStringLiteral("Timeout: no data from the server for 0.4 s");
        QTest::newRow("404") << 3 << QStringLiteral("the server answered 404 Not Found");
        QTest::newRow("nobody listening")
            << 4 << QStringLiteral("the release manifest could not be fetched (Connection Failed)");
        QTest::newRow("manifest trickles") << 5 << QStringLiteral("Timeout: the release manifest did not arrive within 0.4 s");
        QTest::newRow("redirected to a file")
            << 6 << QStringLiteral("the server redirected to file:///etc/passwd, which is not an address to download from");
        QTest::newRow("redirected in a loop") << 7 << QStringLiteral("the server's redirections go round in a loop");
        QTest::newRow("markup in the reason")
            << 8 << QStringLiteral("the server answered 404 <h1><font color=green>Update complete</font></h1>");
        // Cut, and without the escape: 100000 characters would stretch the window off the screen.
        QTest::newRow("endless reason")
            << 9 << QStringLiteral("the server answered 404 [2J") + QString(117, QLatin1Char('r')) + QStringLiteral("...");
    }
    void brokenTransfersLeaveTheOldProgram()
    {
        QFETCH(int, kind);
        QFETCH(QString, reason);
        UpdaterRig rig;
        const QByteArray content = programBytes(200000);
        rig.offer(content);
        HttpResponse response;
        response.body = content;
        UpdaterOptions options = rig.options();
        options.stallTimeoutMs = 400;
        switch (kind) {
        case 0: response.closeAfterBytes = 70000; break;
        case 1: response.stallAfterBytes = 70000; break;
        case 2: response.stall = true; break;
        case 3: response.status = 404; response.reason = "Not Found"; break;
        case 4: options.downloadUrl = QStringLiteral("http://127.0.0.1:1/Tavrin.exe"); break;
        case 5: {
            // Never idle for the stall time, yet its few hundred bytes would take half a minute.
            HttpResponse manifest;
            manifest.body = rig.key.manifest(content);
            manifest.trickleMs = 60;
            rig.server.setResponse("/Tavrin.exe.manifest", manifest);
            break;
        }
        case 8: response.status = 404; response.reason = "<h1><font color=green>Update complete</font></h1>"; break;
        case 9: response.status = 404; response.reason = "\x1b[2J" + QByteArray(100000, 'r'); break;
        case 6:
        case 7:
            response.status = 302;
            response.reason = "Found";
            response.headers = {{"Location", kind == 6 ? QByteArray("file:///etc/passwd")
                                                       : rig.server.url(QStringLiteral("/Tavrin.exe")).toLatin1()}};
            break;
        }
        rig.server.setResponse("/Tavrin.exe", response);
        UpdaterWindow &w = rig.open(options);
        QVERIFY(!rig.update());

        // A connection closed mid-transfer is seen either as the closing itself or, when the
        // close is read as the end of the answer, as a short download; both must fail.
        if (kind == 0 && rig.status() != kFailed + reason)
            QCOMPARE(rig.status(), kFailed + QStringLiteral("the download ended after 70000 of 200000 bytes"));
        else
            QCOMPARE(rig.status(), kFailed + reason);
        // Shown as the very text, never as markup (what a screen reader reads is what is shown).
        QLabel *status = rig.find<QLabel>("Label2");
        QCOMPARE(QAccessible::queryAccessibleInterface(status)->text(QAccessible::Name), status->text());
        QCOMPARE(rig.installed(), QByteArray(UpdaterRig::kOldProgram));
        QCOMPARE(rig.strayFiles(), QStringList());
        QVERIFY(w.isVisible());
        QVERIFY(!w.doneIt()->isVisible());
        QVERIFY(!rig.find<QTimer>("Timer1")->isActive());
        QVERIFY(rig.find<QPushButton>("Command3")->isEnabled());
    }

    void releaseProblemsRefuseTheDownload_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("reason");
        const QString badSignature = QStringLiteral("the download does not carry a valid release signature");
        const QString unreadable = QStringLiteral("the release manifest is not readable");
        const QString tooLarge = QStringLiteral("the download is larger than the 4096 bytes of its release manifest");
        QTest::newRow("other file") << 0 << QStringLiteral("the download is not the file its release manifest names");
        QTest::newRow("other key") << 1 << badSignature;
        QTest::newRow("missing manifest")
            << 2 << QStringLiteral("the release manifest could not be fetched (the server answered 404 Not Found)");
        QTest::newRow("bare signature") << 3 << unreadable;
        QTest::newRow("huge manifest") << 4 << unreadable;
        QTest::newRow("no release key") << 5 << QStringLiteral("this build has no release key");
        QTest::newRow("bad release key")
            << 6 << QStringLiteral("this build's release key is not a valid Ed25519 public key");
        QTest::newRow("file address") << 7 << QStringLiteral("the address does not begin with http://, https:// or ftp://");
        QTest::newRow("older release")
            << 8 << QStringLiteral("the offered version 1.2.1 is not newer than the installed version 1.2.2");
        QTest::newRow("same release")
            << 9 << QStringLiteral("the offered version 1.2.2 is not newer than the installed version 1.2.2");
        QTest::newRow("older release relabelled") << 10 << badSignature;
        QTest::newRow("longer than announced, unannounced") << 11 << tooLarge;
        QTest::newRow("longer than announced, announced") << 12 << tooLarge;
    }
    void releaseProblemsRefuseTheDownload()
    {
        QFETCH(int, kind);
        QFETCH(QString, reason);
        UpdaterRig rig;
        const QByteArray content = programBytes(4096);
        rig.offer(content, kind != 0);
        UpdaterOptions options = rig.options();
        TestKeyPair stranger;
        HttpResponse response;
        switch (kind) {
        case 1: rig.server.setBody("/Tavrin.exe.manifest", stranger.manifest(content)); break;
        case 2: response.status = 404; response.reason = "Not Found"; rig.server.setResponse("/Tavrin.exe.manifest", response); break;
        case 3: rig.server.setBody("/Tavrin.exe.manifest", rig.key.sign(content)); break;
        case 4: rig.server.setBody("/Tavrin.exe.manifest", rig.key.manifest(content) + QByteArray(100000, 'x')); break;
        case 5: options.releaseKey.clear(); break;
        case 6: options.releaseKey = "AAAA"; break;
        case 7: options.downloadUrl = QStringLiteral("file:///etc/hostname"); break;
        case 8: rig.server.setBody("/Tavrin.exe.manifest", rig.key.manifest(content, QStringLiteral("1.2.1"))); break;
        case 9: rig.server.setBody("/Tavrin.exe.manifest", rig.key.manifest(content, QStringLiteral("1.2.2"))); break;
        case 10:
            rig.server.setBody("/Tavrin.exe.manifest",
                               rig.key.manifest(content, QStringLiteral("1.2.1")).replace("version 1.2.1", "version 1.2.9"));
            break;
        case 11:
        case 12:
            // The signed size is 4096; more comes. Without an announced size the server then
            // holds still: only counting the bytes ends the transfer before the stall time-out.
            response.body = content + programBytes(60000, 3);
            response.omitContentLength = kind == 11;
            response.stallAfterBytes = kind == 11 ? 30000 : -1;
            rig.server.setResponse("/Tavrin.exe", response);
            break;
        }
        UpdaterWindow &w = rig.open(options);
        QVERIFY(!rig.update());
        QCOMPARE(rig.status(), kFailed + reason);
        QCOMPARE(rig.installed(), QByteArray(UpdaterRig::kOldProgram));
        QCOMPARE(rig.strayFiles(), QStringList());
        QVERIFY(!w.doneIt()->isVisible());
        QVERIFY(!rig.find<QTimer>("Timer1")->isActive());
        if (kind >= 5 && kind <= 7) // refused before anything was fetched
            QCOMPARE(rig.server.requests().size(), 0);
        if (kind >= 8 && kind <= 10) // refused on the manifest alone
            QCOMPARE(rig.server.requests().size(), 1);
    }

    void unusableProgramDirectoryIsRefused_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("reason");
        const QString set = QStringLiteral("; set it in Help / About");
        QTest::newRow("empty") << QString() << QStringLiteral("no program directory is set") + set;
        QTest::newRow("relative") << QStringLiteral("radio/")
                                  << QStringLiteral("the program directory \"radio/\" is not a full path") + set;
        QTest::newRow("no separator") << QStringLiteral("@") // the rig's directory without its "/"
                                      << QStringLiteral("the program directory \"@\" does not end with \"/\"") + set;
        QTest::newRow("cut at the file's capacity")
            << u'/' + QString(262, u'a') + u'/'
            << QStringLiteral("the program directory is too long for TVRDir.ini and may have been cut; install to a shorter path");
        QTest::newRow("no program there") << QStringLiteral("@/empty/")
                                          << QStringLiteral("there is no installed program at @/empty/") + QLatin1String(tavrin::platform::kMainProgramFile)
                + QStringLiteral("; set the program directory in Help / About");
        // Long enough to take several lines of the status, with spaces and letters beyond ASCII.
        const QString missing = QStringLiteral("@/Tavrin Programme/Amateurfunk Fernsteuerung/Installationsverzeichnis "
                                               "f\u00fcr die Station/Kurzwelle \u00e4\u00f6\u00fc/");
        QTest::newRow("missing, long") << missing
                                       << QStringLiteral("the program directory \"%1\" does not exist").arg(missing) + set;
    }
    void unusableProgramDirectoryIsRefused()
    {
        QFETCH(QString, directory);
        QFETCH(QString, reason);
        UpdaterRig rig;
        rig.offer(programBytes(1000));
        UpdaterOptions options = rig.options();
        directory.replace(u'@', rig.dir.path());
        reason.replace(u'@', rig.dir.path());
        QVERIFY(QDir(rig.dir.path()).mkpath(QStringLiteral("empty")));
        options.programDirectory = directory;
        UpdaterWindow &w = rig.open(options);
        QTest::mouseClick(rig.find<QPushButton>("Command3"), Qt::LeftButton);
        QCOMPARE(rig.status(), kFailed + reason);
        auto *status = rig.find<QLabel>("Label2"); // read whole, not squeezed over the other controls
        QTRY_VERIFY(status->height() >= status->heightForWidth(status->width()));
        QVERIFY(!w.download().inProgress());
        QCOMPARE(rig.server.requests().size(), 0);
        QVERIFY(rig.find<QPushButton>("Command3")->isEnabled());
        QVERIFY(!w.doneIt()->isVisible());
        QVERIFY(!rig.find<QTimer>("Timer1")->isActive());
        // "Exit" starts nothing from such a path either.
        w.Command2_Click();
        QCOMPARE(rig.started.size(), 0);
    }

    void successMeansTheInstalledFileIsTheNewOne()
    {
        UpdaterRig rig;
        rig.offer(programBytes(3000));
        UpdaterWindow &w = rig.open();
        // A replace that reports success but leaves something else at the target: the
        // previous program is put back.
        ProgramInstaller installer;
        installer.setReplaceStep([](const QString &, const QString &to, QString *) {
            QFile::remove(to); // a new file, as a rename gives: the backup's link stays intact
            QFile f(to);
            return f.open(QIODevice::WriteOnly) && f.write("garbage") == 7;
        });
        w.download().setInstaller(installer);
        QVERIFY(!rig.update());
        QCOMPARE(rig.status(), kFailed + rig.target() + QStringLiteral(" is not the new program after installing; the update did not take"));
        QCOMPARE(rig.installed(), QByteArray(UpdaterRig::kOldProgram));
        QVERIFY(!w.doneIt()->isVisible());
        QVERIFY(!rig.find<QTimer>("Timer1")->isActive());
    }

    void secureAndFtpAddressesPassTheSchemeCheck()
    {
        // Nothing serves TLS or FTP here: the point is that neither is refused by its scheme.
        for (const QString &url : {QStringLiteral("https://127.0.0.1:1/Tavrin.exe"),
                                   QStringLiteral("FTP://127.0.0.1:1/Tavrin.exe")}) {
            UpdaterRig rig;
            UpdaterOptions options = rig.options();
            options.downloadUrl = url;
            rig.open(options);
            QVERIFY(!rig.update());
            QVERIFY2(rig.status().startsWith(kFailed), qPrintable(rig.status()));
            QVERIFY2(!rig.status().contains(QStringLiteral("does not begin")), qPrintable(rig.status()));
            QCOMPARE(rig.installed(), QByteArray(UpdaterRig::kOldProgram));
        }
    }

    void aSecondUpdaterLeavesTheFirstOnesDownloadAlone()
    {
        UpdaterRig rig;
        HttpResponse response;
        response.body = programBytes(100000);
        response.stallAfterBytes = 20000;
        rig.server.setResponse("/Tavrin.exe", response);
        rig.server.setBody("/Tavrin.exe.manifest", rig.key.manifest(response.body));
        UpdaterWindow &first = rig.open();
        QTest::mouseClick(rig.find<QPushButton>("Command3"), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return first.download().bytesReceived() >= 20000; }, 5000));
        const QString partial = first.download().temporaryPath();

        UpdaterWindow second(rig.options());
        QSignalSpy done(&second.download(), &UpdateDownload::finished);
        QTest::mouseClick(second.findChild<QPushButton *>("Command3"), Qt::LeftButton);
        QVERIFY(done.wait(10000));
        QCOMPARE(second.findChild<QLabel *>("Label2")->text(),
                 kFailed + QStringLiteral("another updater is already updating %1; wait for it to finish").arg(rig.target()));
        QVERIFY(QFile::exists(partial));
        QVERIFY(first.download().inProgress());

        // Once the first is over, the program can be updated again.
        first.download().cancel();
        rig.offer(programBytes(3000));
        QSignalSpy again(&second.download(), &UpdateDownload::finished);
        QTest::mouseClick(second.findChild<QPushButton *>("Command3"), Qt::LeftButton);
        QVERIFY(again.wait(10000));
        QVERIFY(again.first().at(0).toBool());
    }

    void aSecondAttemptAfterAFailureSucceeds()
    {
        UpdaterRig rig;
        const QByteArray content = programBytes(5000);
        rig.offer(content, false);
        rig.open();
        QVERIFY(!rig.update());
        rig.offer(content, true);
        QVERIFY(rig.update());
        QCOMPARE(rig.installed(), content);
    }
};

QTEST_MAIN(UpdateDownloadTest)
#include "test_update_download.moc"
