// The updater's plain logic: error texts, amount and speed texts, the release key check,
// the installer, the command line and the accepted addresses.

#include "UpdaterTestKit.h"

#include "core/InstanceLock.h"
#include "updater/InternetErrors.h"
#include "updater/ProgramInstaller.h"
#include "updater/ReleaseKey.h"
#include "updater/ReleaseManifest.h"

#include <QProcess>
#include <QStandardPaths>

using namespace tavrin::updater;
using namespace tavrin::updater::test;

class UpdateLogicTest : public QObject {
    Q_OBJECT
private slots:
    void internetErrorTexts()
    {
        QCOMPARE(InternetErrorText(12000), QString());
        QCOMPARE(InternetErrorText(12001), QStringLiteral("No more handles"));
        QCOMPARE(InternetErrorText(12033), QStringLiteral("Invlaid Proxy Request"));
        QCOMPARE(InternetErrorText(12034), QStringLiteral("Need UI"));
        QCOMPARE(InternetErrorText(12036), QStringLiteral("Handle Already Exists"));
        QCOMPARE(InternetErrorText(12050), QStringLiteral("Retry Dialog"));
        QCOMPARE(InternetErrorText(12052), QStringLiteral("HTTP HTTP Redirection"));
        QCOMPARE(InternetErrorText(12053), QStringLiteral("Insert CD-Rom"));
        // Gaps and the ends of the table.
        for (int number : {12035, 12051, 11999, 12054, 0, -1, 99999})
            QCOMPARE(InternetErrorText(number), QStringLiteral("Undefined Error"));
        QCOMPARE(InternetErrorText(internetErrorNumber(QNetworkReply::RemoteHostClosedError)),
                 QStringLiteral("Connection Terminated"));
        QCOMPARE(internetErrorNumber(QNetworkReply::NoError), 0);
    }

    void amountSpeedAndTimeTexts()
    {
        QCOMPARE(UpdaterWindow::amountText(512), QStringLiteral("0.5 Kb "));
        QCOMPARE(UpdaterWindow::amountText(1024), QStringLiteral("1.0 Kb "));
        QCOMPARE(UpdaterWindow::amountText(12345), QStringLiteral("12.3 Kb "));
        QCOMPARE(UpdaterWindow::amountText(250), QStringLiteral("0.3 Kb ")); // half rounds up
        QCOMPARE(UpdaterWindow::amountText(67108864), QStringLiteral("67108.9 Kb "));
        QCOMPARE(UpdaterWindow::speedText(4096), QStringLiteral("Average : 4.0 / Kbps"));
        QCOMPARE(UpdaterWindow::speedText(1536), QStringLiteral("Average : 1.5 / Kbps"));
        QCOMPARE(UpdaterWindow::timeLeftText(10000, 3500, 100), QStringLiteral("Time Left : 1:05"));
        QCOMPARE(UpdaterWindow::timeLeftText(10000, 9999, 100), QStringLiteral("Time Left : 0:01"));
        QCOMPARE(UpdaterWindow::timeLeftText(3600 * 100 + 100, 0, 100), QStringLiteral("Time Left : 1:00:01"));
        QCOMPARE(UpdaterWindow::timeLeftText(0, 3500, 100), QStringLiteral("Time Left")); // size unknown
    }

    void releaseKeyAndManifestBindVersionSizeAndDigest()
    {
        TestKeyPair pair, other;
        const QByteArray content = programBytes(5000);
        const QByteArray text = pair.manifest(content);
        for (const QByteArray &form : {pair.publicBase64(), pair.rawPublicBase64(), "  " + pair.publicBase64() + "\n"}) {
            const ReleaseKey key(form);
            QVERIFY(!key.isEmpty());
            QVERIFY(key.isValid());
            ReleaseManifest m;
            QString error;
            QVERIFY2(ReleaseManifest::read(text, key, &m, &error), qPrintable(error));
            QCOMPARE(m.version, QStringLiteral("1.2.3"));
            QCOMPARE(m.size, 5000);
            QCOMPARE(m.sha512, QCryptographicHash::hash(content, QCryptographicHash::Sha512));
        }
        const ReleaseKey key(pair.publicBase64());
        ReleaseManifest m;
        QString error;
        // Any change to a signed line breaks the signature; a missing final line break does not.
        for (const auto &[from, to] : {std::pair{"size 5000", "size 5001"}, std::pair{"version 1.2.3", "version 1.3.3"}}) {
            QVERIFY(!ReleaseManifest::read(QByteArray(text).replace(from, to), key, &m, &error));
            QCOMPARE(error, QStringLiteral("the download does not carry a valid release signature"));
        }
        QVERIFY(!ReleaseManifest::read(pair.manifest(content), ReleaseKey(other.publicBase64()), &m, &error));
        QVERIFY(ReleaseManifest::read(text.chopped(1), key, &m, &error));
        QVERIFY(!ReleaseManifest::read(text.left(text.indexOf("signature")), key, &m, &error));

        // Versions compare by number, not by text.
        QVERIFY(isNewerVersion(QStringLiteral("1.10.0"), QStringLiteral("1.9.9")));
        QVERIFY(isNewerVersion(QStringLiteral("2.0.0"), QStringLiteral("1.99.99")));
        QVERIFY(!isNewerVersion(QStringLiteral("1.2.2"), QStringLiteral("1.2.2")));
        QVERIFY(!isNewerVersion(QStringLiteral("1.2.10"), QStringLiteral("1.3.0")));
        QVERIFY(!isNewerVersion(QStringLiteral("1.2.3\n"), QStringLiteral("1.2.2")));
        QVERIFY(!isNewerVersion(QStringLiteral("9.9"), QStringLiteral("1.2.2")));

        QVERIFY(ReleaseKey(QByteArray()).isEmpty());
        QVERIFY(!ReleaseKey(QByteArray()).isValid());
        QVERIFY(!ReleaseKey("not base64 !!").isValid());
        QVERIFY(!ReleaseKey(QByteArray(31, 'a').toBase64()).isValid());
        QVERIFY(!ReleaseKey("garbage").isEmpty());
    }

    void signingScriptInteroperates()
    {
        const QString script = QFINDTESTDATA("../../tools/sign-release");
        if (script.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
            QSKIP("tools/sign-release or openssl not available");
        QTemporaryDir dir;
        const QString keyFile = dir.filePath(QStringLiteral("release.pem"));
        const QString program = dir.filePath(QStringLiteral("tavrin"));
        QFile file(program);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray content = programBytes(70000);
        file.write(content);
        file.close();

        QProcess make;
        make.start(script, {QStringLiteral("--new-key"), keyFile});
        QVERIFY(make.waitForFinished(20000));
        QCOMPARE(make.exitCode(), 0);
        const QByteArray publicKey = make.readAllStandardOutput().trimmed();

        QProcess sign;
        sign.start(script, {keyFile, program, QStringLiteral("1.20.3")});
        QVERIFY(sign.waitForFinished(20000));
        QCOMPARE(sign.exitCode(), 0);
        QCOMPARE(sign.readAllStandardOutput().trimmed(), publicKey);
        QFile manifestFile(program + QStringLiteral(".manifest"));
        QVERIFY(manifestFile.open(QIODevice::ReadOnly));
        ReleaseManifest m;
        QString error;
        QVERIFY2(ReleaseManifest::read(manifestFile.readAll(), ReleaseKey(publicKey), &m, &error), qPrintable(error));
        QCOMPARE(m.version, QStringLiteral("1.20.3"));
        QCOMPARE(m.size, content.size());
        QCOMPARE(m.sha512, QCryptographicHash::hash(content, QCryptographicHash::Sha512));

        // Never overwrites a key.
        QProcess again;
        again.start(script, {QStringLiteral("--new-key"), keyFile});
        QVERIFY(again.waitForFinished(20000));
        QVERIFY(again.exitCode() != 0);
    }

    void installerReplacesKeepingABackup_data()
    {
        QTest::addColumn<bool>("moveAside");
        QTest::newRow("in place") << false;
        QTest::newRow("moving aside") << true; // the Windows way; a running program is tried under wine
    }
    void installerReplacesKeepingABackup()
    {
        QFETCH(bool, moveAside);
        ProgramInstaller installer;
        installer.setMoveAside(moveAside);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("tavrin"));
        const QString fresh = dir.filePath(QStringLiteral(".new"));
        auto write = [](const QString &path, const QByteArray &bytes) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        auto read = [](const QString &path) {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
        };
        write(target, "old");
        write(fresh, "new");
        const InstallResult result = installer.install(fresh, target);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(read(target), QByteArray("new"));
        QCOMPARE(read(ProgramInstaller::backupPathFor(target)), QByteArray("old"));
        QVERIFY(!QFile::exists(fresh));
        QVERIFY(QFileInfo(target).isExecutable());

        // A second update replaces the older backup.
        write(fresh, "newer");
        QVERIFY(installer.install(fresh, target).ok);
        QCOMPARE(read(target), QByteArray("newer"));
        QCOMPARE(read(ProgramInstaller::backupPathFor(target)), QByteArray("new"));

        // First install: nothing to back up.
        const QString other = dir.filePath(QStringLiteral("other"));
        write(fresh, "first");
        QVERIFY(installer.install(fresh, other).ok);
        QCOMPARE(read(other), QByteArray("first"));
        QVERIFY(!QFile::exists(ProgramInstaller::backupPathFor(other)));
    }

    void installerRestoresThePreviousProgramWhenTheReplaceFails_data() { installerReplacesKeepingABackup_data(); }
    void installerRestoresThePreviousProgramWhenTheReplaceFails()
    {
        QFETCH(bool, moveAside);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("tavrin"));
        const QString fresh = dir.filePath(QStringLiteral(".new"));
        for (const auto &[path, bytes] : {std::pair{target, QByteArray("old")}, std::pair{fresh, QByteArray("new")}}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ProgramInstaller installer;
        installer.setMoveAside(moveAside);
        // A replace that loses the target half-way, as a crashing file system might.
        installer.setReplaceStep([](const QString &, const QString &to, QString *error) {
            QFile::remove(to);
            *error = QStringLiteral("disk on fire");
            return false;
        });
        const InstallResult result = installer.install(fresh, target);
        QVERIFY(!result.ok);
        QVERIFY(result.error.contains(QStringLiteral("disk on fire")));
        QFile f(target);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old"));
        QVERIFY(QFileInfo(target).isExecutable());
        f.close();

        // Killed between moving the old program aside and putting the new one in: only the
        // backup is left, and the next start of the updater puts it back.
        QVERIFY(ProgramInstaller::recoverInterrupted(target).ok); // nothing to do
        const QString backup = ProgramInstaller::backupPathFor(target);
        QFile::remove(backup);
        QVERIFY(QFile::rename(target, backup));
        QVERIFY(ProgramInstaller::recoverInterrupted(target).ok);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old"));
        QVERIFY(QFileInfo(target).isExecutable());
    }

    void commandLineAndAddresses()
    {
        const QString program = QStringLiteral("updater");
        QCOMPARE(settingsDirectoryFrom({program, QStringLiteral("--settings-dir"), QStringLiteral("/tmp/a")}),
                 QStringLiteral("/tmp/a"));
        QCOMPARE(settingsDirectoryFrom({program, QStringLiteral("--settings-dir=/tmp/b")}), QStringLiteral("/tmp/b"));
        qputenv("TAVRIN_CONFIG_DIR", "/tmp/from-env");
        QCOMPARE(settingsDirectoryFrom({program}), QStringLiteral("/tmp/from-env"));
        QCOMPARE(settingsDirectoryFrom({program, QStringLiteral("--settings-dir")}), QStringLiteral("/tmp/from-env"));
        qunsetenv("TAVRIN_CONFIG_DIR");

        // The program directory comes from the main program's settings file.
        QTemporaryDir dir;
        QFile ini(dir.filePath(QStringLiteral("TVRDir.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[SETTINGS]\nProgDir=/srv/radio/\n");
        ini.close();
        UpdaterOptions options = optionsForRun(dir.path());
        QCOMPARE(options.programDirectory, QStringLiteral("/srv/radio/"));
        QCOMPARE(options.programArguments, QStringList({QStringLiteral("--settings-dir"), dir.path()}));
        QVERIFY(!options.downloadUrl.isEmpty());
        QTemporaryDir empty;
        QCOMPARE(optionsForRun(empty.path()).programDirectory, tavrin::platform::defaultProgramDirectory());

        // The main program's version counts only when it is later than the updater's own.
        const QString own = builtVersion();
        QCOMPARE(installedVersionFrom({program, QStringLiteral("--installed-version"), QStringLiteral("99.0.0")}),
                 QStringLiteral("99.0.0"));
        QCOMPARE(installedVersionFrom({program, QStringLiteral("--installed-version"), QStringLiteral("0.0.1")}), own);
        QCOMPARE(installedVersionFrom({program, QStringLiteral("--installed-version")}), own);

        for (const char *url : {"http://h/x", "HTTP://h/x", "https://h/x", "Ftp://h/x"})
            QVERIFY2(UpdateDownload::acceptedScheme(QString::fromLatin1(url)), url);
        for (const char *url : {"file:///etc/passwd", "httpx://h", "h/x", ""})
            QVERIFY2(!UpdateDownload::acceptedScheme(QString::fromLatin1(url)), url);
    }

    // A lock file left by a run that crashed on another computer (a roaming settings folder),
    // and made read-only, neither keeps the program out nor counts as a running program; a
    // lock held by a running copy does.
    void leftoverLockFromAnotherComputer()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tavrin.lock"));
        QFile leftover(path);
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.write("4242\nTavrin\nanother-computer\n");
        leftover.close();
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser));
        QVERIFY(!mainProgramRunsOn(dir.path()));
        tavrin::InstanceLock running(path);
        QCOMPARE(running.tryLock(), tavrin::InstanceLock::Result::Locked);
        QVERIFY(mainProgramRunsOn(dir.path()));
        tavrin::InstanceLock second(path);
        QCOMPARE(second.tryLock(), tavrin::InstanceLock::Result::HeldElsewhere);
        QVERIFY(running.isLocked());
    }
};

QTEST_MAIN(UpdateLogicTest)
#include "test_update_logic.moc"
