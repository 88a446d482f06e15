#include "app/Application.h"

#include "BuildConfig.h"
#include "common/Installation.h"
#include "core/Program.h"
#include "core/MainWindow.h"
#include "app/CommandLine.h"
#include "app/FirstFrame.h"
#include "app/TerminationSignals.h"
#include "app/LinkChoice.h"
#include "app/NativeLinkRunner.h"
#include "app/ProgramStyle.h"
#include "scenario/ScenarioRunner.h"
#include "echolink/ChatLogClient.h"
#include "echolink/SimulatedLink.h"
#include "settings/LinkSettings.h"
#include "settings/PasswordVault.h"
#include "settings/ProfileStore.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

#ifdef Q_OS_WIN
#include "echolink/automation/WindowsClient.h"
#endif

namespace tavrin {

namespace {

constexpr char kConfigDirVariable[] = "TAVRIN_CONFIG_DIR";
constexpr char kNativeStartFailed[] = "The EchoLink station could not start:\n%1\n\n"
                                      "Tavrin carries on, but the link will not work until this is fixed "
                                      "and Tavrin is started again (Setup > Link Settings).";

void printTo(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

QString versionText()
{
    return QStringLiteral(TAVRIN_PRODUCT_NAME " " TAVRIN_VERSION_TEXT "\n");
}

// How long the end of the program waits for the directory to take the station off the list.
constexpr int kLogoffWaitMs = 3000;

// The program's message boxes, until a termination signal comes. After it nobody may be
// there to answer (a logout, `kill`, a service being stopped), and a box waiting for a click
// would hold the program up until it is killed: what the way out has to say then goes to
// standard error, with the answer a closed box gives, and a warning among it (settings not
// saved, the transmitter not released) makes the exit status a failure.
class DialogsUntilSignal final : public Dialogs {
public:
    QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                        const QString &text, QMessageBox::StandardButtons buttons) override
    {
        if (!signalled_)
            return boxes_.message(parent, icon, title, text, buttons);
        printTo(stderr, title + QLatin1String(": ") + text + QLatin1Char('\n'));
        if (icon == QMessageBox::Warning || icon == QMessageBox::Critical)
            warnedAfterSignal_ = true;
        for (const QMessageBox::StandardButton closed : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok})
            if (buttons.testFlag(closed))
                return closed;
        return QMessageBox::NoButton;
    }
    void signalCame() { signalled_ = true; }
    bool warnedAfterSignal() const { return warnedAfterSignal_; }

private:
    WidgetDialogs boxes_;
    bool signalled_ = false;
    bool warnedAfterSignal_ = false;
};

QString localCallOf(const CommandLine &line)
{
    return line.localCall.isEmpty() ? QString::fromLatin1(scenario::kDefaultLocalCall) : line.localCall;
}

int runInteractive(QApplication &app, const CommandLine &line, const QString &settingsDir,
                   const QElapsedTimer &sinceExec)
{
    // First, so that no signal during start-up ends the program without its exit path.
    TerminationSignals terminationSignals;
    DialogsUntilSignal dialogs;
    const std::unique_ptr<PasswordVault> vault = makeDesktopPasswordVault();
    // The link is chosen once, here: a change in "Link Settings" takes effect at the next start.
    ProfileStore linkStore(settingsDir);
    const LinkSettings linkSettings = LinkSettings::load(linkStore);
    // The start-up warning lists what this read found: the program does not read the file again.
    QStringList linkSettingsProblems = linkStore.takeLoadProblems();
    linkSettingsProblems << linkSettings.problem;

    // The links outlive the program: its windows hold handles on them.
    std::unique_ptr<SimulatedLink> simulated;
    std::unique_ptr<EchoLinkClientFactory> simulatedFactory;
    EchoLinkClientFactory *factory = nullptr;
#ifdef TAVRIN_HAVE_NATIVE_LINK
    std::unique_ptr<link::NativeLinkRunner> native;
    if (link::chooseBackend(linkSettings) == link::Backend::Native) {
        native = std::make_unique<link::NativeLinkRunner>(linkSettings, *vault);
        factory = &native->factory();
    }
#endif
#ifdef Q_OS_WIN
    // Windows hook: there the separate EchoLink client is the station, reached through its
    // automation object, so choosing the EchoLink network needs no callsign of ours.
    std::unique_ptr<EchoLinkClientFactory> windowsFactory;
    if (linkSettings.backend == LinkSettings::Backend::EchoLink) {
        windowsFactory = automation::makeWindowsClientFactory();
        factory = windowsFactory.get();
    }
#endif
    if (!factory) {
        SimulatedLink::Options linkOptions;
        // Each run gets its own neighbourhood unless a seed asks for a repeatable one.
        linkOptions.seed = line.seed.value_or(quint32(QDateTime::currentMSecsSinceEpoch()));
        linkOptions.backgroundActivity = true;
        simulated = std::make_unique<SimulatedLink>(linkOptions);
        const QString local = localCallOf(line);
        simulatedFactory = simulated->factoryFor(local);
        // The station's HF node is already linked when the program starts, as on a real node.
        simulated->linkStation(local, simulated->nodeCall());
        factory = simulatedFactory.get();
    }

#ifdef TAVRIN_HAVE_NATIVE_LINK
    // Started before the windows, so they meet a running station at start-up. A station that
    // cannot run is said once the main window is up; the windows then see a failing client.
    const bool nativeStarted = !native || native->start();
#endif

    ProgramOptions options;
    options.clientFactory = factory;
    options.settingsDir = settingsDir;
    options.servers = ServerAddresses::fromBuildAndEnvironment();
    options.chatLogFile = line.chatLogFile;
    options.passwordVault = vault.get();
    options.packageManaged = platform::runningProgramIsPackageManaged();
    options.dialogs = &dialogs;
    options.linkSettingsProblems = linkSettingsProblems;
#ifdef Q_OS_WIN
    if (windowsFactory)
        options.missingClientAdvice = QString::fromLatin1(automation::kMissingClientAdvice);
#endif
    auto owned = std::make_unique<Program>(options);
    Program &program = *owned;
    // The program can end before the event loop runs: a signal while a message box of the
    // start waits for its answer.
    std::optional<int> ended;
    QObject::connect(&program, &Program::ended, &app, [&app, &ended](int code) {
        ended = code;
        app.exit(code);
    });
    QObject::connect(&terminationSignals, &TerminationSignals::received, &program, [&program, &dialogs] {
        dialogs.signalCame();
        if (MainWindow *main = program.mainWindow())
            main->exitProgram();
        else
            program.endProgram(0);
    });
    if (!program.start())
        return kExitAlreadyRunning;

#ifdef TAVRIN_HAVE_NATIVE_LINK
    if (native) {
        QPointer<MainWindow> main = program.mainWindow();
        native->setStatusSink([main](const QString &text) {
            if (main)
                main->showStatus(text);
            else
                printTo(stderr, text + QLatin1Char('\n'));
        });
        if (!nativeStarted) {
            const QString failure = native->failureText();
            QTimer::singleShot(0, &program, [&program, failure] {
                program.dialogs().warning(program.mainWindow(), QStringLiteral(TAVRIN_PRODUCT_NAME),
                                          QString::fromLatin1(kNativeStartFailed).arg(failure));
            });
        }
    }
#endif

    if (line.exitWhenIdle)
        exitOnceStartedUp(program.mainWindow(), sinceExec);
    int code = ended ? *ended : app.exec();
    if (code == 0 && dialogs.warnedAfterSignal())
        code = 1;
#ifdef TAVRIN_HAVE_NATIVE_LINK
    if (native) {
        // The windows and their handles go first; then the station logs off the directory.
        owned.reset();
        native->finish(kLogoffWaitMs);
    }
#endif
    return code;
}

int runScenario(QApplication &app, const CommandLine &line, QString settingsDir)
{
    QFile file(line.scenarioFile);
    if (!file.open(QIODevice::ReadOnly)) {
        printTo(stderr, QStringLiteral("%1: %2\n").arg(line.scenarioFile, file.errorString()));
        return scenario::kScenarioUnusable;
    }
    // A script is a page or two of steps; a device or a huge file named by mistake (/dev/zero)
    // is refused before it fills the memory.
    constexpr qint64 kLargestScript = 4 * 1024 * 1024;
    const QByteArray text = file.read(kLargestScript + 1);
    if (text.size() > kLargestScript) {
        printTo(stderr, QStringLiteral("%1: not a scenario: larger than 4 MB\n").arg(line.scenarioFile));
        return scenario::kScenarioUnusable;
    }
    scenario::ScriptError error;
    std::optional<scenario::Script> script = scenario::parseScript(QString::fromUtf8(text), &error);
    if (!script) {
        printTo(stderr, QStringLiteral("%1: %2\n").arg(line.scenarioFile, error.toString()));
        return scenario::kScenarioUnusable;
    }

    // Without a directory named for it, a scenario never touches the real settings.
    std::unique_ptr<QTemporaryDir> scratch;
    if (settingsDir.isEmpty()) {
        scratch = std::make_unique<QTemporaryDir>();
        if (!scratch->isValid()) {
            printTo(stderr, QStringLiteral("cannot make a temporary settings directory: %1\n").arg(scratch->errorString()));
            return scenario::kScenarioUnusable;
        }
        settingsDir = scratch->path();
    }

    scenario::RunnerOptions options;
    options.settingsDir = settingsDir;
    options.localCall = localCallOf(line);
    options.seed = line.seed.value_or(1);
    options.chatLogFile = line.chatLogFile;
    options.servers = ServerAddresses::fromBuildAndEnvironment();
    options.packageManaged = platform::runningProgramIsPackageManaged();
#ifdef TAVRIN_HAVE_NATIVE_LINK
    // As at a normal start, "Link Settings" may choose the EchoLink network; read when the
    // scenario first needs the link, so that its `setting` steps count. The password comes
    // from the keychain, as always.
    std::unique_ptr<PasswordVault> vault;
    std::unique_ptr<link::NativeLinkRunner> native;
    options.nativeStation = [&]() -> EchoLinkClientFactory * {
        const LinkSettings linkSettings = LinkSettings::load(ProfileStore(settingsDir));
        if (link::chooseBackend(linkSettings) != link::Backend::Native)
            return nullptr;
        vault = makeDesktopPasswordVault();
        native = std::make_unique<link::NativeLinkRunner>(linkSettings, *vault);
        if (!native->start())
            printTo(stderr, QString::fromLatin1(kNativeStartFailed).arg(native->failureText()) + QLatin1Char('\n'));
        return &native->factory();
    };
#endif
    TerminationSignals terminationSignals;
    auto runner = std::make_unique<scenario::ScenarioRunner>(std::move(*script), options);
    QObject::connect(runner.get(), &scenario::ScenarioRunner::finished, &app, [&app](int code) { app.exit(code); });
    QObject::connect(&terminationSignals, &TerminationSignals::received, runner.get(), &scenario::ScenarioRunner::interrupt);
    runner->begin();
    const int code = app.exec();
    // The windows and their handles go first; then the station logs off the directory.
    runner.reset();
#ifdef TAVRIN_HAVE_NATIVE_LINK
    if (native)
        native->finish(kLogoffWaitMs);
#endif
    return code;
}

void answerHelpOrVersion(const CommandLine &line, const QString &programName)
{
    printTo(stdout, line.help ? usageText(programName) : versionText());
}

} // namespace

std::optional<int> answerWithoutWindows(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Anything not understood here may be a toolkit option: the full parse after the
    // application object exists decides.
    const CommandLineResult parsed = parseCommandLine(arguments);
    if (!parsed.error.isEmpty() || !(parsed.options.help || parsed.options.version))
        return std::nullopt;
    answerHelpOrVersion(parsed.options, QFileInfo(arguments.value(0, QStringLiteral("tavrin"))).fileName());
    return 0;
}

int runApplication(QApplication &app, const QElapsedTimer &sinceExec)
{
    QApplication::setApplicationName(QStringLiteral(TAVRIN_PRODUCT_NAME));
    QApplication::setApplicationVersion(QStringLiteral(TAVRIN_VERSION_TEXT));
    // The program ends through its own exit paths (which save first), never because the
    // last window happened to close.
    QApplication::setQuitOnLastWindowClosed(false);
    installProgramStyle();

    const QStringList arguments = QApplication::arguments();
    const QString programName = QFileInfo(arguments.value(0, QStringLiteral("tavrin"))).fileName();
    const CommandLineResult parsed = parseCommandLine(arguments);
    if (!parsed.error.isEmpty()) {
        printTo(stderr, QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(programName, parsed.error));
        return kExitUsage;
    }
    const CommandLine &line = parsed.options;
    if (line.help || line.version) {
        answerHelpOrVersion(line, programName);
        return 0;
    }

#ifdef Q_OS_UNIX
    // A file size limit (ulimit -f) met by the chat log or a settings file must fail that
    // write, which says so, rather than kill the program with all its unsaved settings.
    std::signal(SIGXFSZ, SIG_IGN);
    // Likewise a chat log that is a pipe whose reader went away: the write fails, and says so.
    std::signal(SIGPIPE, SIG_IGN);
#endif

    QString settingsDir = line.settingsDir;
    if (settingsDir.isEmpty() && !line.scenarioFile.isEmpty())
        settingsDir = qEnvironmentVariable(kConfigDirVariable); // empty: a scratch directory
    else if (settingsDir.isEmpty())
        settingsDir = ProfileStore::defaultDirectory();
    if (!settingsDir.isEmpty()) {
        settingsDir = QDir(settingsDir).absolutePath();
        QDir().mkpath(settingsDir);
    }

    // A log that cannot be written is said at once, not found missing after the run.
    if (!line.chatLogFile.isEmpty()) {
        // Opened as the log itself is: a pipe nobody reads is refused here, not waited on.
        QFile log;
        QString why;
        if (!openChatLog(log, line.chatLogFile, &why)) {
            printTo(stderr, QStringLiteral("%1: --chat-log %2: %3\n").arg(programName, line.chatLogFile, why));
            return kExitUsage;
        }
    }

    if (!line.scenarioFile.isEmpty())
        return runScenario(app, line, settingsDir);
    return runInteractive(app, line, settingsDir, sinceExec);
}

} // namespace tavrin
