#pragma once
// The two programs end to end on loopback: Tavrin (the real program running a scenario, or
// its composition root in this process; native link, on 127.0.0.4) drives the real tavrin-node program (on 127.0.0.5), whose rig is
// Hamlib's dummy rig behind a real rigctld; the fake directory is on 127.0.0.4. Port base
// 25198, apart from the other native-link tests.

#include "Rigctld.h"

#include "core/CoreTestKit.h"
#include "echolink/native/NativeLink.h"
#include "node/HamlibRig.h"
#include "support/FakeDirectory.h"
#include "support/FakePasswordVault.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>
#include <numbers>

namespace tavrin::test {

using namespace tavrin::node;

inline const QString kLocalCall = QStringLiteral("XX1TAV-L");
inline const QString kNodeCall = QStringLiteral("XX9ABC-L");
inline const QHostAddress kTavrinAddress(QStringLiteral("127.0.0.4"));
inline constexpr char kNodeAddress[] = "127.0.0.5";
inline constexpr quint16 kDirectoryPort = 25200;
inline constexpr int kPortBase = 25198;
inline constexpr int kWaitMs = 30000; // a ceiling only: sanitizer builds on a busy machine are slow
inline constexpr int kBindTries = 120; // a quarter second each

inline void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(content);
}

// The node program, its log (standard error) collected line by line.
class NodeProcess {
public:
    ~NodeProcess() { stop(); }
    bool start(const QString &config)
    {
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        // Under the sanitizers: the slow unwinder sees through the protocol library's frames,
        // so its known leak is matched by the suppressions.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":fast_unwind_on_malloc=0"));
        process_.setProcessEnvironment(env);
        QObject::connect(&process_, &QProcess::readyReadStandardError, [this] {
            log_ += QString::fromUtf8(process_.readAllStandardError());
        });
        process_.start(qEnvironmentVariable("TAVRIN_NODE_PROGRAM"), {QStringLiteral("--config"), config});
        return process_.waitForStarted(10000);
    }
    bool logSays(const QString &text) const { return log_.contains(text); }
    QString log() const { return log_; }
    // SIGTERM, as systemd stops it (or another signal); the exit code.
    int stop(int signal = SIGTERM)
    {
        if (process_.state() == QProcess::NotRunning)
            return process_.exitCode();
        ::kill(pid_t(process_.processId()), signal);
        // With the event loop running: the fake directory answers the node's logoff meanwhile.
        if (!QTest::qWaitFor([this] { return process_.state() == QProcess::NotRunning; }, kWaitMs)) {
            process_.kill();
            process_.waitForFinished();
            return -1;
        }
        log_ += QString::fromUtf8(process_.readAllStandardError());
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }

private:
    QProcess process_;
    QString log_;
};

// A steady tone for Tavrin's transmitter.
class ToneInput {
public:
    QByteArray operator()(int samples)
    {
        QByteArray out(samples * int(sizeof(qint16)), Qt::Uninitialized);
        auto *p = reinterpret_cast<qint16 *>(out.data());
        for (int i = 0; i < samples; ++i, ++n_)
            p[i] = qint16(8000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * double(n_) / 8000.0));
        return out;
    }

private:
    qint64 n_ = 0;
};

struct EndToEnd {
    QTemporaryDir dir;
    FakeDirectory directory;
    Rigctld rigctld;
    NodeProcess node;
    std::unique_ptr<HamlibRig> rig; // the test's own view of the rig, through rigctld
    std::unique_ptr<NativeLink> link;
    std::unique_ptr<EchoLinkClientFactory> factory;
    RecordingDialogs dialogs;
    FakePasswordVault vault;
    ProgramOptions options;
    std::unique_ptr<Program> program;

    // The directory, rigctld and the node, which lets `allow` control the rig. extraConfig:
    // more INI lines for the node, e.g. its audio devices.
    void startNode(const QByteArray &allow, int transmitTimeoutS = 180,
                   const QByteArray &extraConfig = "[audio]\noutput=none\n")
    {
        QVERIFY2(!qEnvironmentVariable("TAVRIN_NODE_PROGRAM").isEmpty(), "TAVRIN_NODE_PROGRAM is not set");
        for (int i = 0; i < kBindTries && !directory.listen(kTavrinAddress, kDirectoryPort); ++i)
            QTest::qWait(250);
        QVERIFY2(directory.port() == kDirectoryPort, qPrintable(directory.errorString()));
        FakeStation station;
        station.callsign = kNodeCall;
        station.location = QStringLiteral("HF node");
        station.address = QString::fromLatin1(kNodeAddress);
        FakeStation panel; // the node lets in only stations the list has
        panel.callsign = kLocalCall;
        panel.address = kTavrinAddress.toString();
        directory.setStations({station, panel});
        QVERIFY(rigctld.start());
        HamlibOptions ro;
        ro.model = 2;
        ro.port = rigctld.address();
        rig = std::make_unique<HamlibRig>(ro);
        rig->setFrequency(14'200'000);

        const QString password = dir.filePath(QStringLiteral("password"));
        writeFile(password, "secret\n");
        QFile::setPermissions(password, QFile::ReadOwner | QFile::WriteOwner);
        const QString config = dir.filePath(QStringLiteral("node.ini"));
        writeFile(config, "[station]\ncallsign=" + kNodeCall.toLatin1() + "\npassword_file=" + password.toUtf8()
                              + "\n[directory]\nservers=" + directory.server().toLatin1()
                              + "\nport_base=" + QByteArray::number(kPortBase) + "\nbind_address=" + kNodeAddress
                              + "\n[rig]\nmodel=2\nport=" + rigctld.address().toLatin1()
                              + "\n[limits]\ntransmit_timeout_s=" + QByteArray::number(transmitTimeoutS)
                              + "\n[access]\nallow=" + allow + "\n" + extraConfig);
        QVERIFY(node.start(config));
        QTRY_VERIFY_WITH_TIMEOUT(node.logSays(QStringLiteral("started as ") + kNodeCall), kWaitMs);
    }

    // Tavrin's settings for the node: the link on 127.0.0.4 and set 1's node button.
    void writeTavrinSettings(const QString &settingsDir)
    {
        writeFile(settingsDir + QStringLiteral("/TVRset1.ini"), "[SETTINGS]\r\nNodeCall=" + kNodeCall.toLatin1() + "\r\n");
        writeFile(settingsDir + QStringLiteral("/TVRlink.ini"),
                  "[SETTINGS]\r\nBackend=EchoLink\r\nCallsign=" + kLocalCall.toLatin1() + "\r\nServers="
                      + directory.server().toLatin1() + "\r\nPortBase=" + QByteArray::number(kPortBase)
                      + "\r\nBindAddress=" + kTavrinAddress.toString().toLatin1() + "\r\nAudioOutput=none\r\n");
    }

    // The node, then Tavrin in this process (composition root, native link), linked to it.
    void start(const QByteArray &allow, int transmitTimeoutS = 180, const QByteArray &extraConfig = "[audio]\noutput=none\n")
    {
        startNode(allow, transmitTimeoutS, extraConfig);
        if (QTest::currentTestFailed())
            return;

        NativeLinkOptions o;
        o.callsign = kLocalCall;
        o.password = QStringLiteral("secret");
        o.directoryServers = {directory.server()};
        o.portBase = kPortBase;
        o.bindAddress = kTavrinAddress.toString();
        o.audioInput = QStringLiteral("none");
        o.audioOutput = QStringLiteral("none");
        o.testAudioInput = ToneInput();
        link = std::make_unique<NativeLink>(o);
        QVERIFY2(link->start(), qPrintable(link->statusText()));
        factory = link->factory();
        writeTavrinSettings(dir.path());
        options.clientFactory = factory.get();
        options.settingsDir = dir.path();
        options.dialogs = &dialogs;
        options.passwordVault = &vault;
        options.servers = closedLoopbackServers();
        program = std::make_unique<Program>(options);
        QVERIFY(program->start());

        // The node button of set 1 links to the node.
        auto *nodeButton = find<QPushButton>("Command29");
        QTRY_COMPARE_WITH_TIMEOUT(nodeButton->text(), kNodeCall, kWaitMs);
        nodeButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(node.logSays(kLocalCall + QStringLiteral(" linked")), kWaitMs);
        find<QWidget>("Frame3")->setVisible(true);
    }

    ~EndToEnd()
    {
        if (QTest::currentTestFailed())
            qInfo("tavrin-node said:\n%s", qPrintable(node.log()));
        program.reset();
        factory.reset();
        link.reset();
    }

    template <class T>
    T *find(const char *name)
    {
        T *found = program->mainWindow()->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QString text(const char *name)
    {
        if (auto *e = program->mainWindow()->findChild<QLineEdit *>(QLatin1String(name)))
            return e->text();
        return find<QLabel>(name)->text();
    }
    qint64 rigHz() { return rig->read().hz; }
};

} // namespace tavrin::test
