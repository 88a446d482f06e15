#pragma once
// The composition root: builds the whole program from a client factory, a settings
// directory, a clock, the server addresses and a way to show message boxes. main() and the
// integration tests both build the program through this class.
//
// Thread: user-interface thread. Owns every window, the preset sets and the settings store;
// does not own the factory, the clock or the dialogs.

#include "common/Clock.h"
#include "ui/Dialogs.h"
#include "core/InstanceLock.h"
#include "core/ServerAddresses.h"
#include "core/WindowRegistry.h"
#include "echolink/EchoLinkClient.h"
#include "settings/PasswordVault.h"
#include "settings/PresetSet.h"
#include "settings/ProfileStore.h"

#include <QObject>

#include <array>
#include <memory>
#include <optional>

namespace tavrin {

class MainWindow;
class PresetEditor;
class UserButtonEditor;
class NodeFavorites;
namespace rig {
class RigService;
}
namespace messaging {
class ChatWindow;
class RemotePad;
class SysopBox;
}
namespace maintenance {
class AboutWindow;
}
namespace link {
class FormLink;
}

struct ProgramOptions {
    EchoLinkClientFactory *clientFactory = nullptr; // not owned
    QString settingsDir;                            // empty: ProfileStore::defaultDirectory()
    const Clock *clock = nullptr;                   // not owned; null: the system clock
    Dialogs *dialogs = nullptr;                     // not owned; null: real message boxes
    ServerAddresses servers;                        // empty statistics host: no report
    int transferTimeoutMs = 10000;                  // network requests' transfer time-out
    bool scenarioMode = false; // "already running" also goes to standard error
    QString chatLogFile;       // --chat-log: every line sent on the chat channel goes here too
    PasswordVault *passwordVault = nullptr; // not owned; null: the desktop keychain
    bool packageManaged = false; // installed by the package manager, which also updates it
    // What reading "TVRlink.ini" found wrong, when the caller read it before building the
    // program (the link is chosen from it): the start-up warning lists these. Unset: nobody
    // read it, and start() reads it for the warning.
    std::optional<QStringList> linkSettingsProblems;
    QString missingClientAdvice; // said, with the reason, when the main window finds no client at start-up
};

class Program : public QObject {
    Q_OBJECT
public:
    explicit Program(ProgramOptions options);
    ~Program() override;

    // Runs the main window's start-up sequence and shows it. Returns false when the program
    // must end at once (another instance holds the settings directory).
    bool start();

    MainWindow *mainWindow() const { return mainWindow_.get(); }
    WindowRegistry &registry() { return registry_; }
    ProfileStore &store() { return store_; }
    const Clock &clock() const { return *clock_; }
    Dialogs &dialogs() const { return *dialogs_; }
    PasswordVault &passwordVault() const { return *passwordVault_; }
    EchoLinkClientFactory &clientFactory() const { return *options_.clientFactory; }
    const ProgramOptions &options() const { return options_; }
    PresetSet &presetSet(int number) { return *presetSets_.at(number - 1); }
    // The windows beside the main window, typed; nullptr before start() built them.
    UserButtonEditor *userButtonEditor() const { return userButtonEditor_.get(); }
    messaging::RemotePad *remotePad() const { return remotePad_.get(); }
    messaging::SysopBox *sysopBox() const { return sysopBox_.get(); }
    messaging::ChatWindow *chatWindow() const { return chatWindow_.get(); }
    maintenance::AboutWindow *aboutWindow() const { return aboutWindow_.get(); }
    // The rig server, built once the main window is up; nullptr before.
    rig::RigService *rigService() const { return rig_.get(); }

    // A new client handle for a window, or nullptr when no client exists.
    // A new handle on the link, or nullptr (with the reason in *failure) when there is none.
    std::unique_ptr<EchoLinkClient> createClient(QString *failure = nullptr);

    // Ends the program: queued, so the handler that asks for it finishes first.
    void endProgram(int exitCode = 0);
    // The client is closing, as another window heard it: the main window's closing path
    // (which saves first), or endProgram() without a main window.
    void endOnClientClosing();
    // True once endProgram() was called: exit paths then do not save again.
    bool isEnding() const { return ending_; }

signals:
    void ended(int exitCode);

private:
    // Builds the preset editors FormSet1 ... FormSet4, hidden, each reading its set's file.
    void loadPresetEditors();
    // Joins the windows' typed signals and slots: chat lines, the extra call, sysop messages,
    // the frequency copy, the station list and the chosen node.
    void wireWindows();

    ProgramOptions options_;
    std::unique_ptr<EchoLinkClientFactory> chatLog_; // wraps the given factory for --chat-log
    SystemClock systemClock_;
    WidgetDialogs widgetDialogs_;
    const Clock *clock_;
    Dialogs *dialogs_;
    std::unique_ptr<PasswordVault> desktopVault_;
    PasswordVault *passwordVault_;
    ProfileStore store_;
    WindowRegistry registry_;
    std::unique_ptr<InstanceLock> instanceLock_;
    std::array<std::unique_ptr<PresetSet>, 4> presetSets_;
    std::array<std::unique_ptr<PresetEditor>, 4> presetEditors_;
    std::unique_ptr<UserButtonEditor> userButtonEditor_;
    std::unique_ptr<messaging::RemotePad> remotePad_;
    std::unique_ptr<maintenance::AboutWindow> aboutWindow_;
    std::unique_ptr<NodeFavorites> nodeFavorites_;
    std::unique_ptr<messaging::SysopBox> sysopBox_;
    std::unique_ptr<messaging::ChatWindow> chatWindow_;
    std::unique_ptr<link::FormLink> formLink_;
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<rig::RigService> rig_;
    bool ending_ = false;
};

} // namespace tavrin
