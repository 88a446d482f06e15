// Updates over real HTTP on loopback: what reaches the program directory and what the window
// says, for good, short, stalled, missing, unsigned and wrongly signed downloads.

#include "UpdaterTestKit.h"

#include "updater/DoneItWindow.h"

using namespace tavrin::updater;
using namespace tavrin::updater::test;
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
        rig.installOld();
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
        // The signature is fetched from the program's address with ".sig" appended.
        QCOMPARE(rig.server.requests().size(), 2);
        QCOMPARE(rig.server.requests().at(1).path, QByteArray("/Tavrin.exe.sig"));

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
        rig.installOld();
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
            rig.installOld();
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
            QCOMPARE(w.download().expectedSize(), 0);
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
        QTest::newRow("nobody listening") << 4 << QStringLiteral("Connection Failed");
    }
    void brokenTransfersLeaveTheOldProgram()
    {
        QFETCH(int, kind);
        QFETCH(QString, reason);
        UpdaterRig rig;
        rig.installOld();
        const QByteArray content = programBytes(200000);
        rig.offer(content);
        HttpResponse response;
        response.body = content;
        UpdaterOptions options = rig.options();
        switch (kind) {
        case 0: response.closeAfterBytes = 70000; break;
        case 1: response.stallAfterBytes = 70000; break;
        case 2: response.stall = true; break;
        case 3: options.downloadUrl = rig.server.url(QStringLiteral("/missing")); break;
        case 4: options.downloadUrl = QStringLiteral("http://127.0.0.1:1/Tavrin.exe"); break;
        }
        rig.server.setResponse("/Tavrin.exe", response);
        UpdaterWindow &w = rig.open(options);
        QVERIFY(!rig.update());

        QCOMPARE(rig.status(), kFailed + reason);
        QCOMPARE(rig.installed(), QByteArray(UpdaterRig::kOldProgram));
        QCOMPARE(rig.strayFiles(), QStringList());
        QVERIFY(w.isVisible());
        QVERIFY(!w.doneIt()->isVisible());
        QVERIFY(!rig.find<QTimer>("Timer1")->isActive());
        QVERIFY(rig.find<QPushButton>("Command3")->isEnabled());
        // Nothing asked for the signature of a download that never completed.
        for (const auto &request : rig.server.requests())
            QVERIFY(!request.path.endsWith(".sig"));
    }

    void signatureProblemsRefuseTheDownload_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("wrong signature") << 0 << QStringLiteral("the download does not carry a valid release signature");
        QTest::newRow("other key") << 1 << QStringLiteral("the download does not carry a valid release signature");
        QTest::newRow("missing signature")
            << 2 << QStringLiteral("the signature file could not be fetched (the server answered 404 Not Found)");
        QTest::newRow("signature not 64 bytes")
            << 3 << QStringLiteral("the signature file is not a 64-byte Ed25519 signature");
        QTest::newRow("huge signature file")
            << 4 << QStringLiteral("the signature file is not a 64-byte Ed25519 signature");
        QTest::newRow("no release key") << 5 << QStringLiteral("this build has no release key");
        QTest::newRow("bad release key")
            << 6 << QStringLiteral("this build's release key is not a valid Ed25519 public key");
        QTest::newRow("file address") << 7 << QStringLiteral("the address does not begin with http://, https:// or ftp://");
    }
    void signatureProblemsRefuseTheDownload()
    {
        QFETCH(int, kind);
        QFETCH(QString, reason);
        UpdaterRig rig;
        rig.installOld();
        const QByteArray content = programBytes(4096);
        rig.offer(content, kind != 0);
        UpdaterOptions options = rig.options();
        TestKeyPair stranger;
        switch (kind) {
        case 1: rig.server.setBody("/Tavrin.exe.sig", stranger.sign(content)); break;
        case 2: {
            HttpResponse missing;
            missing.status = 404;
            missing.reason = "Not Found";
            rig.server.setResponse("/Tavrin.exe.sig", missing);
            break;
        }
        case 3: rig.server.setBody("/Tavrin.exe.sig", rig.key.sign(content).toBase64()); break;
        case 4: rig.server.setBody("/Tavrin.exe.sig", QByteArray(100000, 'x')); break;
        case 5: options.releaseKey.clear(); break;
        case 6: options.releaseKey = "AAAA"; break;
        case 7: options.downloadUrl = QStringLiteral("file:///etc/hostname"); break;
        }
        UpdaterWindow &w = rig.open(options);
        QVERIFY(!rig.update());
        QCOMPARE(rig.status(), kFailed + reason);
        QCOMPARE(rig.installed(), QByteArray(UpdaterRig::kOldProgram));
        QCOMPARE(rig.strayFiles(), QStringList());
        QVERIFY(!w.doneIt()->isVisible());
        QVERIFY(!rig.find<QTimer>("Timer1")->isActive());
        if (kind >= 5) // refused before anything was fetched
            QCOMPARE(rig.server.requests().size(), 0);
    }

    void secureAndFtpAddressesPassTheSchemeCheck()
    {
        // Nothing serves TLS or FTP here: the point is that neither is refused by its scheme.
        for (const QString &url : {QStringLiteral("https://127.0.0.1:1/Tavrin.exe"),
                                   QStringLiteral("FTP://127.0.0.1:1/Tavrin.exe")}) {
            UpdaterRig rig;
            rig.installOld();
            UpdaterOptions options = rig.options();
            options.downloadUrl = url;
            rig.open(options);
            QVERIFY(!rig.update());
            QVERIFY2(rig.status().startsWith(kFailed), qPrintable(rig.status()));
            QVERIFY2(!rig.status().contains(QStringLiteral("does not begin")), qPrintable(rig.status()));
            QCOMPARE(rig.installed(), QByteArray(UpdaterRig::kOldProgram));
        }
    }

    void aSecondAttemptAfterAFailureSucceeds()
    {
        UpdaterRig rig;
        rig.installOld();
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
