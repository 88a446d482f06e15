// The directory login with the password from a real keychain, and the end of the real program
// on a termination signal. tests/nativelink/keyring-session.sh runs this program in a private
// D-Bus session with its own GNOME Keyring (the Secret Service), in a scratch home, and sets
// TAVRIN_KEYRING_SESSION; without that, every case skips (never the desktop's keychain).
// The fake directory listens on 127.0.0.3; the station binds every address, on a free port base.

#include "app/NativeLinkRunner.h"
#include "settings/PasswordVault.h"
#include "settings/ProfileStore.h"
#include "support/FakeDirectory.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <csignal>
#include <memory>

using namespace tavrin;
using namespace tavrin::test;

extern "C" const char *__lsan_default_suppressions();
extern "C" __attribute__((used)) const char *__lsan_default_suppressions()
{
    return "leak:libecholib\nleak:libsigc-2.0\n";
}

namespace {

const QString kCall = QStringLiteral("XX1TAV-L");
constexpr int kWaitMs = 15000; // a loaded machine, the sanitizers; waits end as soon as they can

// A port pair nobody holds on any address right now.
int freePortBase()
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int base = 20000 + int(QRandomGenerator::global()->bounded(20000));
        QUdpSocket audio, control;
        if (audio.bind(QHostAddress::AnyIPv4, quint16(base)) && control.bind(QHostAddress::AnyIPv4, quint16(base + 1)))
            return base;
    }
    return 0;
}

// Stores `password` for our callsign in the session's keychain; false when that failed.
bool storePassword(PasswordVault &vault, const QString &password)
{
    bool done = false, ok = false;
    vault.write(kCall, password, [&](const PasswordVault::Result &r) {
        done = true;
        ok = r.ok;
        if (!r.ok)
            qWarning("keychain: %s", qPrintable(r.error));
    });
    return QTest::qWaitFor([&] { return done; }, kWaitMs) && ok;
}

LinkSettings settingsFor(const FakeDirectory &directory, int portBase)
{
    LinkSettings s;
    s.backend = LinkSettings::Backend::EchoLink;
    s.callsign = kCall;
    s.name = QStringLiteral("Tavrin test");
    s.location = QStringLiteral("Keychain test");
    s.directoryServers = {directory.server()};
    s.portBase = portBase;
    s.audioInput = s.audioOutput = QStringLiteral("none");
    return s;
}

bool lastLoginIs(const FakeDirectory &directory, const char *status)
{
    return !directory.logins().isEmpty() && directory.logins().last().status.startsWith(QLatin1String(status));
}

} // namespace

class TestKeychain : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        if (qEnvironmentVariableIsEmpty("TAVRIN_KEYRING_SESSION"))
            QSKIP("needs the private keychain session of keyring-session.sh");
    }

    void directoryLoginTakesTheKeychainPassword()
    {
        const std::unique_ptr<PasswordVault> vault = makeDesktopPasswordVault();
        FakeDirectory directory;
        QVERIFY2(directory.listen(QHostAddress(QStringLiteral("127.0.0.3")), 0), qPrintable(directory.errorString()));
        directory.requirePassword(QStringLiteral("right one"));
        const int portBase = freePortBase();
        QVERIFY(portBase > 0);

        // The stored password logs in, and the end of the run logs off with it.
        QVERIFY(storePassword(*vault, QStringLiteral("right one")));
        {
            link::NativeLinkRunner runner(settingsFor(directory, portBase), *vault);
            QVERIFY2(runner.start(), qPrintable(runner.failureText()));
            QTRY_VERIFY_WITH_TIMEOUT(lastLoginIs(directory, "ONLINE"), kWaitMs);
            QCOMPARE(directory.logins().last().callsign, kCall);
            QCOMPARE(directory.logins().last().password, QStringLiteral("right one"));
            runner.finish(kWaitMs);
            QVERIFY(lastLoginIs(directory, "OFF"));
        }

        // A wrong one: the directory's refusal is what the operator reads.
        QVERIFY(storePassword(*vault, QStringLiteral("wrong one")));
        const int loginsBefore = int(directory.logins().size());
        link::NativeLinkRunner runner(settingsFor(directory, portBase), *vault);
        QStringList statuses;
        runner.setStatusSink([&statuses](const QString &text) { statuses << text; });
        QVERIFY2(runner.start(), qPrintable(runner.failureText()));
        const auto refusalShown = [&statuses] {
            return !statuses.filter(QString::fromLatin1(FakeDirectory::kWrongPassword)).isEmpty();
        };
        QTRY_VERIFY2_WITH_TIMEOUT(refusalShown(), qPrintable(statuses.join(QLatin1Char('\n'))), kWaitMs);
        QCOMPARE(directory.logins().at(loginsBefore).password, QStringLiteral("wrong one"));
        QVERIFY(statuses.filter(QStringLiteral("Online")).isEmpty());
        runner.finish(kWaitMs);
    }

    void terminationSignalEndsTheProgramLikeExit_data()
    {
        QTest::addColumn<bool>("native");
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("native link, SIGTERM") << true << int(SIGTERM);
        QTest::newRow("simulated link, SIGINT") << false << int(SIGINT);
        QTest::newRow("simulated link, SIGHUP") << false << int(SIGHUP);
    }
    void terminationSignalEndsTheProgramLikeExit()
    {
        // Settings saved, the station logged off the directory, a clean exit.
        QFETCH(bool, native);
        QFETCH(int, signalNumber);
        const QString program = qEnvironmentVariable("TAVRIN_PROGRAM");
        QVERIFY2(!program.isEmpty(), "TAVRIN_PROGRAM is not set");
        QTemporaryDir dir;
        FakeDirectory directory;
        if (native) {
            QVERIFY2(directory.listen(QHostAddress(QStringLiteral("127.0.0.3")), 0), qPrintable(directory.errorString()));
            const std::unique_ptr<PasswordVault> vault = makeDesktopPasswordVault();
            QVERIFY(storePassword(*vault, QStringLiteral("secret")));
            const int portBase = freePortBase();
            QVERIFY(portBase > 0);
            ProfileStore store(dir.path());
            QVERIFY(settingsFor(directory, portBase).save(store));
        }

        QProcess tavrin;
        tavrin.setProcessChannelMode(QProcess::ForwardedChannels);
        tavrin.start(program, {QStringLiteral("--settings-dir"), dir.path()});
        QVERIFY(tavrin.waitForStarted(kWaitMs));
        const QString saved = dir.filePath(QStringLiteral("TVRradio.ini"));
        if (native)
            QTRY_VERIFY_WITH_TIMEOUT(lastLoginIs(directory, "ONLINE"), kWaitMs);
        else
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(QStringLiteral("tavrin.lock"))), kWaitMs);
        QVERIFY(!QFile::exists(saved));

        ::kill(pid_t(tavrin.processId()), signalNumber);
        // The logoff happens after the windows are gone: serve it while waiting.
        QTRY_VERIFY_WITH_TIMEOUT(tavrin.state() == QProcess::NotRunning, kWaitMs);
        QCOMPARE(tavrin.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tavrin.exitCode(), 0);
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("TEXT5=3.6950"));
        if (native)
            QVERIFY(lastLoginIs(directory, "OFF"));
    }

    void signalEndsTheProgramWithNobodyToAnswer_data()
    {
        // Each start shows a warning that waits for a click; the second also cannot save.
        QTest::addColumn<QString>("notReadable");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("a preset file not understood") << QStringLiteral("TVRset1.ini") << 0;
        QTest::newRow("the main settings file is a folder") << QStringLiteral("TVRradio.ini") << 1;
    }
    void signalEndsTheProgramWithNobodyToAnswer()
    {
        // A logout or `kill` while a message box waits: the program still ends, saving what it
        // can, and says what failed on standard error instead of waiting for an answer.
        QFETCH(QString, notReadable);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        if (notReadable.startsWith(QLatin1String("TVRradio"))) {
            QVERIFY(QDir(dir.path()).mkdir(notReadable));
        } else {
            QFile junk(dir.filePath(notReadable));
            QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("junk\n") == 5);
        }
        QProcess tavrin;
        tavrin.start(qEnvironmentVariable("TAVRIN_PROGRAM"), {QStringLiteral("--settings-dir"), dir.path()});
        QVERIFY(tavrin.waitForStarted(kWaitMs));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(QStringLiteral("tavrin.lock"))), kWaitMs);
        ::kill(pid_t(tavrin.processId()), SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(tavrin.state() == QProcess::NotRunning, kWaitMs);
        QCOMPARE(tavrin.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tavrin.exitCode(), exitCode);
        const QByteArray said = tavrin.readAllStandardError();
        QCOMPARE(said.contains("could not be saved"), exitCode != 0);
        if (exitCode == 0) {
            QFile saved(dir.filePath(QStringLiteral("TVRradio.ini")));
            QVERIFY(saved.open(QIODevice::ReadOnly));
            QVERIFY(saved.readAll().contains("TEXT5=3.6950"));
        }
    }
};

QTEST_GUILESS_MAIN(TestKeychain)
#include "test_keychain.moc"
