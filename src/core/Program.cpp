#include "core/Program.h"

#include "core/AboutWindowLoader.h"
#include "core/ChatWindowLoader.h"
#include "core/CoreTexts.h"
#include "core/MainWindow.h"
#include "core/ProtocolController.h"
#include "core/RemotePadLoader.h"
#include "core/StationController.h"
#include "core/SysopBoxLoader.h"
#include "core/UserWindows.h"
#include "settings/FormLink.h"
#include "settings/LinkSettings.h"
#include "core/RigService.h"
#include "rig/RigSettings.h"
#include "rig/RigWindow.h"
#include "echolink/ChatLogClient.h"
#include "maintenance/AboutWindow.h"
#include "messaging/ChatFormat.h"
#include "messaging/ChatWindow.h"
#include "messaging/RemotePad.h"
#include "messaging/SysopBox.h"
#include "settings/NodeFavorites.h"
#include "settings/PresetEditor.h"
#include "settings/UserButtonEditor.h"

#include "BuildConfig.h"

#include <algorithm>

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace tavrin {

namespace {

constexpr int kCascadeOffset = 30;

// Places `editor` to the right of `beside` when it fits on that screen, else a step down
// and to the right of it.
void placeBeside(QWidget *editor, const QWidget *beside)
{
    const QRect from = beside->frameGeometry();
    QPoint target(from.right() + 1, from.top());
    const QScreen *screen = beside->screen() ? beside->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        if (target.x() + editor->frameGeometry().width() > area.right())
            target = from.topLeft() + QPoint(kCascadeOffset, kCascadeOffset);
    }
    editor->move(target);
}

} // namespace

Program::Program(ProgramOptions options)
    : options_(std::move(options)),
      clock_(options_.clock ? options_.clock : &systemClock_),
      dialogs_(options_.dialogs ? options_.dialogs : &widgetDialogs_),
      desktopVault_(options_.passwordVault ? nullptr : makeDesktopPasswordVault()),
      passwordVault_(options_.passwordVault ? options_.passwordVault : desktopVault_.get()),
      store_(options_.settingsDir.isEmpty() ? ProfileStore::defaultDirectory() : options_.settingsDir)
{
    if (!options_.chatLogFile.isEmpty() && options_.clientFactory) {
        auto log = std::make_unique<ChatLogClientFactory>(options_.clientFactory, options_.chatLogFile);
        // Said where the option's other messages go, and on the status line for the operator.
        log->setReporter([this](const QString &text) {
            std::fprintf(stderr, "%s\n", qPrintable(text));
            std::fflush(stderr);
            if (mainWindow_)
                mainWindow_->showStatus(text);
        });
        options_.clientFactory = log.get();
        chatLog_ = std::move(log);
    }
    for (int k = 0; k < 4; ++k) {
        presetSets_.at(k) = std::make_unique<PresetSet>(k + 1);
        registry_.presetSets.at(k) = presetSets_.at(k).get();
    }
}

Program::~Program()
{
    // Qt's audio input runs the event loop while it closes. Stop the meters while every
    // window is whole, so that no timer or signal reaches a window half torn down.
    if (mainWindow_)
        mainWindow_->stopMeters();
    // Windows first: they refer to the sets and the store.
    // The rig server before the main window: releasing a keyed transmitter needs it.
    rig_.reset();
    // Nothing may tick from here on: the windows go one by one and talk to each other.
    const QList<QWidget *> windows{mainWindow_.get(), remotePad_.get(), chatWindow_.get(), sysopBox_.get()};
    for (QWidget *window : windows) {
        if (!window)
            continue;
        for (QTimer *timer : window->findChildren<QTimer *>())
            timer->stop();
    }
    // The pad works on the main window's state: it goes first.
    remotePad_.reset();
    mainWindow_.reset();
    for (auto &editor : presetEditors_)
        editor.reset();
    userButtonEditor_.reset();
    nodeFavorites_.reset();
    sysopBox_.reset();
    chatWindow_.reset();
    aboutWindow_.reset();
    formLink_.reset();
}

std::unique_ptr<EchoLinkClient> Program::createClient(QString *failure)
{
    if (!options_.clientFactory)
        return nullptr;
    try {
        return options_.clientFactory->create();
    } catch (const EchoLinkError &e) {
        if (failure)
            *failure = QString::fromUtf8(e.what());
        return nullptr;
    }
}

bool Program::start()
{
    // The main window's own client handle comes first.
    QString clientFailure;
    std::unique_ptr<EchoLinkClient> client = createClient(&clientFailure);
    const bool clientMissing = !client;

    // One program per settings directory. The lock file is no settings file: a second
    // instance reads and writes none of those.
    QDir().mkpath(store_.directory());
    // Its exact name, not another spelling a settings file's lookup would take: the updater
    // looks for this one.
    instanceLock_ = std::make_unique<InstanceLock>(
        QDir(store_.directory()).filePath(QString::fromLatin1(texts::kInstanceLockFile)));
    if (instanceLock_->tryLock() == InstanceLock::Result::HeldElsewhere) {
        instanceLock_.reset();
        const QString text = QString::fromLatin1(texts::kAlreadyRunning);
        if (options_.scenarioMode)
            std::fprintf(stderr, "%s\n", qPrintable(text));
        dialogs_->info(nullptr, QStringLiteral(TAVRIN_PRODUCT_NAME), text);
        return false;
    }
    // Any other lock failure (unwritable directory) cannot tell us about another copy; the
    // program runs, and a failed save will say what is wrong with the directory.

    mainWindow_ = std::make_unique<MainWindow>(*this, std::move(client));
    registry_.add(mainWindow_.get());

    // The main window takes its title from the link's callsign, reads "TVRradio.ini" and
    // shows who it is (callsign, program, version).
    mainWindow_->loadSettings();

    // The other windows, hidden, each reading its own settings, in this order:
    //    Form1 (user-button editor)
    userButtonEditor_ = loadUserButtonEditor(*this);
    //    Form3 (Remote Pad)
    remotePad_ = loadRemotePad(*this);
    loadPresetEditors();
    //    Form14 (About window)
    aboutWindow_ = loadAboutWindow(*this);
    //    Form25 (Node Favourites)
    nodeFavorites_ = loadNodeFavorites(*this);
    //    Form126 (sysop message box)
    sysopBox_ = loadSysopBox(*this);
    //    Messages (chat window)
    chatWindow_ = loadChatWindow(*this);
    //    FormLink (link settings; needs no client; its fields are built on first use)
    formLink_ = std::make_unique<link::FormLink>(store_, *passwordVault_, link::FormLink::Fields::OnFirstUse);
    formLink_->hide();
    registry_.add(formLink_.get());
    wireWindows();

    // With every window there, the main window finds the linked node, captions the presets,
    // sends the statistics report and starts its level meter.
    mainWindow_->finishStartUp();
    mainWindow_->show();
    // The rig server follows the main window's state, so it comes once that is up.
    rig_ = std::make_unique<rig::RigService>(*this);
    registry_.add(rig_->window());
    // Settings that could not be read show as defaults, a folder that takes no file loses the
    // whole session at the way out, and a file that was not understood or a value in it that
    // could not be used leaves defaults in its place: the operator hears all of it once, now,
    // before working on. The link settings were read before the program to choose the link,
    // and the program is given what that read found (read here only when nobody read them
    // before); the rig server has just read its own. Neither file is read a second time: that
    // costs start-up time, and could find a file changed since.
    QStringList problems = store_.accessProblems();
    QStringList found = store_.takeLoadProblems();
    if (options_.linkSettingsProblems) {
        found += *options_.linkSettingsProblems;
    } else {
        const LinkSettings link = LinkSettings::load(store_);
        found += store_.takeLoadProblems();
        found << link.problem;
    }
    found << rig_->settings().problem;
    for (const QString &problem : found) {
        // A file the folder check named already (it could not be read) is said once.
        const qsizetype open = problem.indexOf(u'"');
        const qsizetype close = open < 0 ? -1 : problem.indexOf(u'"', open + 1);
        const QString file = close < 0 ? QString() : problem.mid(open, close - open + 1);
        const bool said = !file.isEmpty()
            && std::any_of(problems.cbegin(), problems.cend(), [&](const QString &p) { return p.contains(file); });
        if (!problem.isEmpty() && !said && !problems.contains(problem))
            problems << problem;
    }
    // Without its client the window opens all the same, but every button that talks to the
    // link would only say "not running": the operator hears once why, and what to do.
    if (clientMissing && options_.clientFactory && !options_.missingClientAdvice.isEmpty())
        problems.prepend(QString::fromLatin1(texts::kNoClientAtStart).arg(clientFailure, options_.missingClientAdvice));
    if (!problems.isEmpty())
        dialogs_->warning(mainWindow_.get(), QStringLiteral(TAVRIN_PRODUCT_NAME),
                          problems.join(QStringLiteral("\n\n")));
    return true;
}

void Program::wireWindows()
{
    MainWindow *main = mainWindow_.get();
    messaging::ChatWindow *chat = chatWindow_.get();
    messaging::RemotePad *pad = remotePad_.get();
    messaging::SysopBox *sysop = sysopBox_.get();
    if (chat) {
        // An incoming line: the main window's chat log and last-line box, then the pad's log.
        connect(chat, &messaging::ChatWindow::incomingLine, main, &MainWindow::showChatLine);
        if (pad) {
            connect(chat, &messaging::ChatWindow::incomingLine, pad,
                    [pad](const QString &tag, const QString &, const QString &message) {
                        pad->appendChatLog(tag + message + QLatin1String(messaging::chattexts::kCrLf));
                    });
            connect(chat, &messaging::ChatWindow::ownLineSent, pad, &messaging::RemotePad::appendChatLog);
            connect(pad, &messaging::RemotePad::ownLineSent, chat, &messaging::ChatWindow::appendToChatBox);
        }
        main->protocol().setExtraCall(chat->extraCall());
        connect(chat, &messaging::ChatWindow::extraCallChanged, &main->protocol(), &ProtocolController::setExtraCall);
    }
    if (sysop) {
        connect(&main->protocol(), &ProtocolController::sysopMessage, sysop, &messaging::SysopBox::appendMessage);
        connect(&main->stations(), &StationController::nodeChosen, sysop, &messaging::SysopBox::setNodeCall);
    }
    if (pad) {
        connect(&main->stations(), &StationController::frequencyCopied, pad, &messaging::RemotePad::showFrequency);
        connect(&main->stations(), &StationController::stationListChanged, pad, &messaging::RemotePad::showStationList);
    }
}

void Program::loadPresetEditors()
{
    for (int k = 0; k < 4; ++k) {
        auto editor = std::make_unique<PresetEditor>(*presetSets_.at(k), store_, PresetEditor::Fields::OnFirstUse);
        editor->setObjectName(QString::fromLatin1(texts::kPresetEditorPrefix) + QString::number(k + 1));
        editor->hide();
        // Each editor reads its set's file as it loads.
        editor->reload();
        connect(editor.get(), &PresetEditor::showEditorRequested, this, [this, k](int number) {
            if (number < 1 || number > 4)
                return;
            PresetEditor *from = presetEditors_.at(k).get();
            PresetEditor *to = presetEditors_.at(number - 1).get();
            to->ensureBuilt(); // placed by its real size
            placeBeside(to, from);
            bringUp(to);
        });
        // An edit is in use at once: the node captions follow it.
        connect(editor.get(), &PresetEditor::presetsChanged, this, [this] {
            if (mainWindow_)
                mainWindow_->refreshNodeCaptions();
        });
        registry_.add(editor.get());
        presetEditors_.at(k) = std::move(editor);
    }
}

void Program::endOnClientClosing()
{
    // Usually the main window heard it first and the program is ending already; without a
    // handle of its own (the client came up after it asked) it has heard nothing.
    if (mainWindow_)
        mainWindow_->EchoLink_Closing();
    else
        endProgram();
}

void Program::endProgram(int exitCode)
{
    if (ending_)
        return;
    ending_ = true;
    // Every way out (the updater's start and the chat window's included) leaves the
    // transmitter released; the main window's exit paths have done so already.
    if (mainWindow_)
        mainWindow_->releaseTransmitter();
    QMetaObject::invokeMethod(this, [this, exitCode] { emit ended(exitCode); }, Qt::QueuedConnection);
}

} // namespace tavrin
