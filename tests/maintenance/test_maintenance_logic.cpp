// The parts of the update check that need no window: the version comparison, the version
// file fetch over loopback, and the settings backup.
#include "maintenance/ConfigBackup.h"
#include "maintenance/VersionCheck.h"
#include "maintenance/VersionFetch.h"
#include "support/LocalHttpServer.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace tavrin::maintenance;
using namespace tavrin::test;

namespace {

const QByteArray kPath = "/tavrin/VersionTV.txt";

struct FetchOutcome {
    bool finished = false;
    int emitted = 0;
    QString body;
};

FetchOutcome fetch(VersionFetch &f, const QUrl &url, int waitMs = 5000)
{
    QSignalSpy spy(&f, &VersionFetch::finished);
    f.start(url);
    FetchOutcome o;
    o.finished = spy.wait(waitMs) || !spy.isEmpty();
    // A second signal for the same fetch would run Timer1 twice.
    QTest::qWait(50);
    o.emitted = int(spy.size());
    if (!spy.isEmpty())
        o.body = spy.first().first().toString();
    return o;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class MaintenanceLogicTest : public QObject {
    Q_OBJECT
private slots:
    void versionComparisonIsCharacterForCharacter_data()
    {
        QTest::addColumn<QString>("fetched");
        QTest::addColumn<bool>("update");
        QTest::newRow("same") << "1.2.2" << false;
        QTest::newRow("nothing fetched") << "" << false;
        QTest::newRow("trailing line break") << "1.2.2\n" << true;
        QTest::newRow("trailing CR LF") << "1.2.2\r\n" << true;
        QTest::newRow("leading space") << " 1.2.2" << true;
        QTest::newRow("older") << "1.2.1" << true;
        QTest::newRow("newer") << "1.10.0" << true;
        QTest::newRow("not a version") << "<html>gone</html>" << true;
    }
    void versionComparisonIsCharacterForCharacter()
    {
        QFETCH(QString, fetched);
        QFETCH(bool, update);
        QCOMPARE(versionText(1, 2, 2), QStringLiteral("1.2.2"));
        QCOMPARE(isUpdateAvailable(fetched, versionText(1, 2, 2)), update);
    }

    void fetchGivesTheBodyOrNothing()
    {
        LocalHttpServer server;
        QVERIFY(server.isListening());
        VersionFetch f(QStringLiteral("Tavrin"));
        f.setTransferTimeout(5000);

        server.setBody(kPath, "1.2.3\n");
        FetchOutcome o = fetch(f, QUrl(server.url(QString::fromLatin1(kPath))));
        QVERIFY(o.finished);
        QCOMPARE(o.emitted, 1);
        QCOMPARE(o.body, QStringLiteral("1.2.3\n"));
        QVERIFY(!f.isRunning());
        QCOMPARE(server.requests().last().method, QByteArray("GET"));
        QCOMPARE(server.requests().last().header("User-Agent"), QByteArray("Tavrin"));

        // An error page's body is not a version file.
        HttpResponse missing;
        missing.status = 404;
        missing.reason = "Not Found";
        missing.body = "1.2.2";
        server.setResponse("/missing.txt", missing);
        o = fetch(f, QUrl(server.url(QStringLiteral("/missing.txt"))));
        QVERIFY(o.finished);
        QCOMPARE(o.emitted, 1);
        QCOMPARE(o.body, QString());

        // A server that accepts and never answers is given up after the transfer time-out.
        HttpResponse stalled;
        stalled.stall = true;
        server.setResponse("/stall.txt", stalled);
        f.setTransferTimeout(500);
        o = fetch(f, QUrl(server.url(QStringLiteral("/stall.txt"))));
        QVERIFY(o.finished);
        QCOMPARE(o.emitted, 1);
        QCOMPARE(o.body, QString());
        // So is one that trickles a byte now and then: the time-out counts from the start.
        HttpResponse trickling;
        trickling.body = QByteArray(100000, '1');
        trickling.trickleMs = 50;
        server.setResponse("/trickle.txt", trickling);
        o = fetch(f, QUrl(server.url(QStringLiteral("/trickle.txt"))));
        QVERIFY(o.finished);
        QCOMPARE(o.emitted, 1);
        QCOMPARE(o.body, QString());

        // A body cut off mid-transfer is not the file.
        HttpResponse cut;
        cut.body = QByteArray(100, 'x');
        cut.closeAfterBytes = 10;
        server.setResponse("/cut.txt", cut);
        o = fetch(f, QUrl(server.url(QStringLiteral("/cut.txt"))));
        QVERIFY(o.finished);
        QCOMPARE(o.body, QString());
    }

    void fetchRefusesAnythingPast64KiB()
    {
        LocalHttpServer server;
        QVERIFY(server.isListening());
        VersionFetch f(QStringLiteral("Tavrin"));
        f.setTransferTimeout(5000);

        const QByteArray exact(int(VersionFetch::kMaxBodyBytes), 'a');
        server.setBody("/exact.txt", exact);
        FetchOutcome o = fetch(f, QUrl(server.url(QStringLiteral("/exact.txt"))));
        QCOMPARE(o.body.size(), exact.size());

        server.setBody("/big.txt", exact + "b");
        o = fetch(f, QUrl(server.url(QStringLiteral("/big.txt"))));
        QVERIFY(o.finished);
        QCOMPARE(o.emitted, 1);
        QCOMPARE(o.body, QString());

        // Without a length to judge by, the cap still holds while reading.
        HttpResponse unsized;
        unsized.body = QByteArray(1024 * 1024, 'c');
        unsized.omitContentLength = true;
        server.setResponse("/unsized.txt", unsized);
        o = fetch(f, QUrl(server.url(QStringLiteral("/unsized.txt"))));
        QVERIFY(o.finished);
        QCOMPARE(o.body, QString());
    }

    void fetchFailuresAreReportedLaterAndOnce()
    {
        VersionFetch f(QStringLiteral("Tavrin"));
        f.setTransferTimeout(300);
        for (const QString &address : {QStringLiteral("not an address"), QStringLiteral("file:///etc/hostname"),
                                       QStringLiteral("http://127.0.0.1:1/VersionTV.txt")}) {
            QSignalSpy spy(&f, &VersionFetch::finished);
            f.start(QUrl(address));
            // Never synchronously: the caller arms its timers after start() returns.
            QCOMPARE(spy.size(), 0);
            QVERIFY2(spy.wait(3000), qPrintable(address));
            QTest::qWait(20);
            QCOMPARE(spy.size(), 1);
            QCOMPARE(spy.first().first().toString(), QString());
        }
    }

    void newFetchAbandonsTheRunningOne()
    {
        LocalHttpServer server;
        QVERIFY(server.isListening());
        HttpResponse stalled;
        stalled.stall = true;
        server.setResponse("/stall.txt", stalled);
        server.setBody(kPath, "1.2.2");
        VersionFetch f(QStringLiteral("Tavrin"));
        f.setTransferTimeout(400);

        QSignalSpy spy(&f, &VersionFetch::finished);
        f.start(QUrl(server.url(QStringLiteral("/stall.txt"))));
        QVERIFY(server.waitForRequests(1));
        f.setTransferTimeout(5000);
        f.start(QUrl(server.url(QString::fromLatin1(kPath))));
        QVERIFY(spy.wait(3000));
        // Past the first fetch's time-out: it must stay silent.
        QTest::qWait(600);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.first().first().toString(), QStringLiteral("1.2.2"));
    }

    void backupCopiesEverySettingsFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(writeFile(dir.filePath("TVRradio.ini"), "[SETTINGS]\nText5=14.2000\n"));
        QVERIFY(writeFile(dir.filePath("TVRDir.ini"), "[SETTINGS]\nProgDir=/opt/tavrin/\n"));
        QVERIFY(writeFile(dir.filePath("kelmmessagebox.ini"), "[SETTINGS]\nCHECK3=1\n"));
        QVERIFY(writeFile(dir.filePath("tavrin.lock"), "123"));
        QVERIFY(writeFile(dir.filePath("notes.txt"), "mine"));

        const QDateTime when(QDate(2026, 12, 9), QTime(15, 12, 30));
        QCOMPARE(backupFolderName(when), QStringLiteral("backup-2026-12-09-151230"));
        const BackupResult first = backupSettings(dir.path(), when);
        QVERIFY2(first.ok, qPrintable(first.error));
        QCOMPARE(first.folder, QDir(dir.path()).absoluteFilePath("backup-2026-12-09-151230"));
        QCOMPARE(QDir(first.folder).entryList(QDir::Files, QDir::Name),
                 QStringList({"TVRDir.ini", "TVRradio.ini", "kelmmessagebox.ini"}));
        QCOMPARE(readFile(first.folder + "/TVRDir.ini"), QByteArray("[SETTINGS]\nProgDir=/opt/tavrin/\n"));
        QCOMPARE(readFile(first.folder + "/TVRradio.ini"), QByteArray("[SETTINGS]\nText5=14.2000\n"));

        // A second backup in the same second never touches the first.
        QVERIFY(writeFile(dir.filePath("TVRDir.ini"), "[SETTINGS]\nProgDir=/changed/\n"));
        const BackupResult second = backupSettings(dir.path(), when);
        QVERIFY2(second.ok, qPrintable(second.error));
        QCOMPARE(QFileInfo(second.folder).fileName(), QStringLiteral("backup-2026-12-09-151230-2"));
        QCOMPARE(readFile(first.folder + "/TVRDir.ini"), QByteArray("[SETTINGS]\nProgDir=/opt/tavrin/\n"));
        QCOMPARE(readFile(second.folder + "/TVRDir.ini"), QByteArray("[SETTINGS]\nProgDir=/changed/\n"));
    }

    void backupFailuresSaySoAndLeaveNothingBehind()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QDateTime when(QDate(2026, 1, 2), QTime(3, 4, 5));

        BackupResult r = backupSettings(dir.filePath("absent"), when);
        QVERIFY(!r.ok);
        QVERIFY(!r.error.isEmpty());

        r = backupSettings(dir.path(), when);
        QVERIFY(!r.ok);
        QVERIFY(r.error.contains(QStringLiteral("no settings files")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());

        // A file that cannot be read fails the copy: no half backup stays.
        if (::geteuid() == 0)
            QSKIP("root reads every file");
        QVERIFY(writeFile(dir.filePath("TVRDir.ini"), "[SETTINGS]\n"));
        QVERIFY(writeFile(dir.filePath("TVRset1.ini"), "[SETTINGS]\n"));
        QVERIFY(QFile::setPermissions(dir.filePath("TVRset1.ini"), QFileDevice::WriteOwner));
        r = backupSettings(dir.path(), when);
        QVERIFY(!r.ok);
        QVERIFY(r.error.contains(QStringLiteral("TVRset1.ini")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    }
};

QTEST_GUILESS_MAIN(MaintenanceLogicTest)
#include "test_maintenance_logic.moc"
