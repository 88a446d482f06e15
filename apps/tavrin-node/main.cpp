// tavrin-node: the HF station's side of the link. Logs in to the EchoLink directory as the
// node's callsign, accepts links and drives the transceiver through Hamlib.

#include "echolink/native/NativeLink.h"
#include "node/HamlibRig.h"
#include "node/NodeConfig.h"
#include "node/NodeService.h"
#include "node/ReceiverAudio.h"
#include "node/RigController.h"

#include "BuildConfig.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

using namespace tavrin;
using namespace tavrin::node;

namespace {

constexpr int kExitBadUsage = 2;
constexpr int kExitBadConfig = 1;
constexpr int kExitNotReleased = 3; // the rig did not confirm the unkey at the stop
// Longest wait at the stop for the unkey, which may queue behind one slow rig call; the unit's
// TimeoutStopSec leaves room for it and the directory logoff.
constexpr int kMaxStopWaitMs = 20000;
// Longest wait at the end for the directory to hear that the node has gone.
constexpr int kLogoffWaitMs = 3000;

// One line per event on stderr: journald stamps and tags them.
void logLine(const QString &text)
{
    QByteArray line = printableLogLine(text).toUtf8();
    line += '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

int signalPipe[2] = {-1, -1};

void onSignal(int number)
{
    const char byte = char(number);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// What the node will do, as read: a range in kHz by mistake or an allow-list that names
// nobody shows here rather than in puzzled operators' chat.
QStringList summary(const NodeConfig &config)
{
    return {QStringLiteral("rig: model %1 (%2)%3")
                .arg(config.rigModel)
                .arg(hamlibModelName(config.rigModel), config.rigPort.isEmpty() ? QString() : QStringLiteral(" on ") + config.rigPort),
            QStringLiteral("frequency ranges (MHz): %1").arg(config.ranges.toText()),
            QStringLiteral("may control the rig: %1; others %2")
                .arg(config.allow.isEmpty() ? QStringLiteral("nobody ([access] allow is empty)") : config.allow.join(QStringLiteral(", ")),
                     config.listeners ? QStringLiteral("may listen") : QStringLiteral("are disconnected"))};
}

QString usage()
{
    return QStringLiteral("usage: tavrin-node --config FILE [--check-config]\n"
                          "       tavrin-node --help | --version\n"
                          "The EchoLink password is read from the file named by %1 or by\n"
                          "[station] password_file; only its owner may read it.\n")
        .arg(QLatin1String(kPasswordFileVariable));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QString configPath;
    bool checkOnly = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--help")) {
            std::fputs(qPrintable(usage()), stdout);
            return 0;
        } else if (a == QLatin1String("--version")) {
            std::printf("tavrin-node %d.%d.%d\n", TAVRIN_VERSION_MAJOR, TAVRIN_VERSION_MINOR, TAVRIN_VERSION_REVISION);
            return 0;
        } else if (a == QLatin1String("--check-config")) {
            checkOnly = true;
        } else if (a == QLatin1String("--config") && i + 1 < args.size()) {
            configPath = args.at(++i);
        } else if (a == QLatin1String("--config")) {
            std::fputs(qPrintable(QStringLiteral("tavrin-node: --config needs the configuration file\n") + usage()), stderr);
            return kExitBadUsage;
        } else {
            std::fputs(qPrintable(QStringLiteral("tavrin-node: unknown option %1\n").arg(a) + usage()), stderr);
            return kExitBadUsage;
        }
    }
    if (configPath.isEmpty()) {
        std::fputs(qPrintable(usage()), stderr);
        return kExitBadUsage;
    }

    ConfigResult loaded = loadConfig(configPath);
    if (loaded.config.rigModel > 0)
        loaded.errors << hamlibOptionProblems({loaded.config.rigModel, loaded.config.rigPort, loaded.config.serialSpeed,
                                               loaded.config.rigTimeoutMs});
    for (const QString &error : loaded.errors)
        logLine(error.startsWith(configPath) ? error : QStringLiteral("%1: %2").arg(configPath, error));
    if (!loaded.ok())
        return kExitBadConfig;
    if (checkOnly) {
        std::printf("%s: configuration OK\n", qPrintable(configPath));
        for (const QString &line : summary(loaded.config))
            std::printf("  %s\n", qPrintable(line));
        return 0;
    }
    const NodeConfig &config = loaded.config;
    QString why;
    const std::optional<QString> password = readPasswordFile(passwordFilePath(config), &why);
    if (!password) {
        logLine(why);
        return kExitBadConfig;
    }

    // SIGTERM and SIGINT reach the event loop through a pipe, so the stop runs there; so does
    // SIGHUP, whose default would end a node run from a terminal whose session drops without
    // the unkey.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        logLine(QStringLiteral("cannot set up signal handling"));
        return kExitBadConfig;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);

    HamlibOptions rigOptions;
    rigOptions.model = config.rigModel;
    rigOptions.port = config.rigPort;
    rigOptions.serialSpeed = config.serialSpeed;
    rigOptions.timeoutMs = config.rigTimeoutMs;
    // The controller's own time-out sits above Hamlib's, which may retry once.
    const int rigCallTimeoutMs = config.rigTimeoutMs * 2 + 1000;
    RigController rig(std::make_unique<HamlibRig>(rigOptions), rigCallTimeoutMs);

    NativeLinkOptions linkOptions;
    linkOptions.callsign = config.callsign;
    linkOptions.password = *password;
    linkOptions.name = config.name.isEmpty() ? config.callsign : config.name;
    linkOptions.location = config.location;
    linkOptions.directoryServers = config.directoryServers;
    linkOptions.portBase = config.portBase;
    linkOptions.bindAddress = config.bindAddress;
    linkOptions.audioInput = config.audioInput;
    linkOptions.audioOutput = config.audioOutput;
    NativeLink link(linkOptions);
    QObject::connect(&link, &NativeLink::statusChanged, &app, [](const QString &text) { logLine(QStringLiteral("link: ") + text); });
    if (!link.start()) {
        logLine(QStringLiteral("the EchoLink station could not start: ") + link.statusText());
        return kExitBadConfig;
    }
    std::unique_ptr<EchoLinkClientFactory> factory = link.factory();
    std::unique_ptr<EchoLinkClient> handle = factory->create();

    NodeService service(serviceOptionsFrom(config), *handle, rig, logLine);
    logLine(QStringLiteral("tavrin-node %1.%2.%3 started as %4, rig model %5%6")
                .arg(TAVRIN_VERSION_MAJOR)
                .arg(TAVRIN_VERSION_MINOR)
                .arg(TAVRIN_VERSION_REVISION)
                .arg(config.callsign)
                .arg(config.rigModel)
                .arg(config.rigPort.isEmpty() ? QString() : QStringLiteral(" on ") + config.rigPort));
    for (const QString &line : summary(config))
        logLine(line);
    service.start();

    // The rig's received audio, when there is a source for it: its squelch decides when the
    // node sends.
    std::unique_ptr<ReceiverAudio> receiver;
    if (config.audioInput != QLatin1String("none")) {
        receiver = std::make_unique<ReceiverAudio>(config.audioInput, config.squelchThresholdDb, config.squelchHangMs, logLine);
        QObject::connect(receiver.get(), &ReceiverAudio::squelchChanged, &service, &NodeService::receiverSquelch);
        receiver->start();
    }

    bool stopping = false;
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
        if (stopping)
            return;
        stopping = true;
        logLine(QStringLiteral("signal %1: stopping").arg(int(byte)));
        // The unkey first; the exit does not wait for ever on a rig that does not answer, and
        // an unkey that is not confirmed is said and ends the program with a failure.
        const auto notReleased = [&app](const QString &why) {
            logLine(QStringLiteral("the rig did not confirm the unkey (%1): check that the transmitter is not keyed").arg(why));
            app.exit(kExitNotReleased);
        };
        service.stop([&app, notReleased](bool released, const QString &error) {
            if (released)
                app.quit();
            else
                notReleased(error);
        });
        QTimer::singleShot(std::min(2 * rigCallTimeoutMs, kMaxStopWaitMs), &app,
                           [notReleased] { notReleased(QStringLiteral("no answer in time")); });
    });

    const int code = app.exec();
    receiver.reset();
    // The directory hears that the node has gone, so callers stop trying it. The handle stays
    // while the event loop runs for that: a late rig answer may still reach the service, whose
    // calls on the handle of a station shut down only fail.
    link.shutdown();
    link.waitForLogoff(kLogoffWaitMs);
    handle.reset();
    logLine(QStringLiteral("stopped"));
    return code;
}
