#pragma once
// The About window "Form14": shows the program and its version, keeps the program directory
// (ProgDir in "TVRDir.ini", shared with the updater), checks the version file and offers the
// update, through its own Command5 and through the prompt Form150.
//
// The version check never blocks: the fetch runs asynchronously and its end (answer, error
// or time-out) starts Timer1, which compares one second later, and, for the check made at
// load, Timer3, which raises the prompt three seconds later. Timer2 runs ten seconds from
// creation. Each timer's tick is a public slot.
//
// Starting the updater hands over to "<ProgDir><updater file>" and asks for the end of the
// program; when the updater cannot be started a message box says so and the program runs on.
// A program installed by the package manager still says that a new version exists, but points
// to the package manager instead of starting the updater.
//
// The program has the controls built on first use (shown, or a control looked up through the
// registry: ensureBuilt()). Until then the load, the fetch and the timers run as ever, and
// what they write is kept and shows once the controls are there.
//
// Thread: user-interface thread. Owns its client handle, its fetch and the prompt; does not
// own the store, the dialogs, the clock, the registry or the launchers.

#include "common/Clock.h"
#include "ui/Dialogs.h"
#include "ui/WindowRegistry.h"
#include "echolink/EchoLinkClient.h"
#include "maintenance/Launchers.h"
#include "settings/ProfileStore.h"
#include "ui/ControlsBuilt.h"

#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace tavrin::maintenance {

class UpdatePrompt;
class VersionFetch;

struct AboutWindowOptions {
    ProfileStore *store = nullptr;        // required
    Dialogs *dialogs = nullptr;           // required
    const Clock *clock = nullptr;         // required (names backup folders)
    WindowRegistry *registry = nullptr;   // optional: the prompt is registered there
    QString productName;
    QString versionText;                  // "1.2.2"
    QString versionFileUrl;
    QString webUrl;                       // help and download page, the makers' pages
    QString mailAddress;                  // without "mailto:"
    QString defaultProgramDirectory;      // with its trailing separator
    QString secondDefaultProgramDirectory;
    QString updaterFileName;              // appended to ProgDir as it stands
    QString settingsDir;                  // passed on as --settings-dir when not empty
    QString fallbackCallsign;             // title callsign when no client can be asked
    bool packageManaged = false;          // the package manager updates the program, never the updater
    int transferTimeoutMs = 10000;
};

class AboutWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTimer1Ms = 1000;
    static constexpr int kTimer2Ms = 10000;
    static constexpr int kTimer3Ms = 3000;

    using Fields = ControlsBuilt;
    explicit AboutWindow(AboutWindowOptions options, Fields fields = Fields::Now, QWidget *parent = nullptr);
    ~AboutWindow() override;

    // Builds the controls if they are not there yet.
    Q_INVOKABLE void ensureBuilt();
    void setVisible(bool visible) override;

    static QString fileName(); // "TVRDir.ini"

    // The load sequence: ProgDir from the file, the client handle (nullptr: no client runs),
    // the title, the version fetch.
    void Form_Load(std::unique_ptr<EchoLinkClient> client);

    // WriteSetting("TVRDir.ini", "ProgDir", field); a failure shows in a message box.
    SaveResult SaveData();
    // Re-reads ProgDir from the file.
    void reload();

    QString programDirectory() const;
    QString titleText() const { return title_; }
    // The updater's path as formed from the field: no separator is added.
    QString updaterPath() const;
    QStringList updaterArguments() const;
    // Starts the updater; on success asks for the end of the program, otherwise says so.
    // A packaged program only says to update through the package manager.
    bool startUpdater();

    void setProgramStarter(ProgramStarter *starter) { starter_ = starter ? starter : &processStarter_; }
    void setUrlOpener(UrlOpener *opener) { opener_ = opener ? opener : &desktopOpener_; }

    QTimer *timer(int number) const;
    // The prompt, or nullptr until it was first shown.
    UpdatePrompt *prompt() const { return prompt_.get(); }
    EchoLinkClient *client() const { return client_.get(); }
    // The version file as last fetched (the hidden NetText).
    QString netText() const;

public slots:
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void Command24_Click();

signals:
    void endProgramRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildLayout();
    // Each writes the control, or keeps the value until the controls are built.
    void setProgramDirectory(const QString &directory);
    void setNetText(const QString &text);
    void setStatusText(const QString &text);
    QString statusText() const;
    void setUpdateShown(bool shown);
    void startFetch();
    void fetchEnded(const QString &body);
    void askAndSetDirectory(const QString &directory);
    void backUp();
    void openPage(const QUrl &url);
    void showPrompt();
    void handOver(); // the buttons' start of the updater: once

    AboutWindowOptions options_;
    ProcessStarter processStarter_;
    DesktopUrlOpener desktopOpener_;
    ProgramStarter *starter_ = &processStarter_;
    UrlOpener *opener_ = &desktopOpener_;
    std::unique_ptr<EchoLinkClient> client_;
    std::unique_ptr<UpdatePrompt> prompt_;
    VersionFetch *fetch_ = nullptr; // child
    bool loadCheckRunning_ = false; // the fetch under way is the one made at load
    QString checkFailure_;          // why the last check brought no version file; empty when it did
    bool updaterStarted_ = false;   // the program is ending: a second press starts no second updater
    QString title_;
    // What the controls show while they are not built.
    struct {
        QString progDir;
        QString netText;
        QString status;
        bool updateShown = false;
    } unbuilt_;

    QLineEdit *progDir_ = nullptr;
    QLineEdit *fileOnNet_ = nullptr;
    QLineEdit *netText_ = nullptr;
    QLabel *title6_ = nullptr;
    QLabel *status5_ = nullptr;
    QPushButton *update5_ = nullptr;
    QTimer *timer1_ = nullptr;
    QTimer *timer2_ = nullptr;
    QTimer *timer3_ = nullptr;
};

} // namespace tavrin::maintenance
