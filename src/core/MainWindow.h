#pragma once
// The main window "Form2": the program's hub. It owns its EchoLink client handle, its
// panels (frequency, command and station controls), its menus, its timers Timer1 ...
// Timer5 and the station model (as a child: the model's request timers Timer6 and Timer7 are
// found inside "Form2"). It renders the station model, reads and writes "TVRradio.ini" and
// ends the program on its three exit paths (Exit Program, closing the window, the client
// closing), saving first.
//
// Thread: user-interface thread. Does not own the other windows, the preset sets or the
// store (the composition root does); shows other windows through the registry, by name, and
// tells them things through typed calls and signals that the composition root joins.

#include "echolink/EchoLinkClient.h"
#include "settings/ProfileStore.h"
#include "ui/PlainClick.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <memory>

class QLabel;
class QMenu;
class QTimer;

namespace tavrin {

class CommandPanels;
class FrequencyController;
class FrequencyPanels;
class Http;
class Program;
class ProtocolController;
class StationController;
class StationPanel;
namespace station {
class StationState;
}

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Program &program, std::unique_ptr<EchoLinkClient> client);
    ~MainWindow() override;

    // The start-up sequence runs in two halves: the composition root loads the other
    // windows in between.
    // Title, the 16 settings, Callsign/Prog/Ver.
    void loadSettings();
    // Linked-node detection and the preset captions.
    void finishStartUp();

    // "Exit Program": saves, then ends the program; nothing once the program is ending.
    void exitProgram();
    // The client is closing: saves, then ends the program; nothing once the program is
    // ending. Also for the client's closing heard by a window other than this one.
    void EchoLink_Closing();
    // Both level meters stop: this window's and the Remote Pad's.
    void stopMeters();
    // As the program ends: a waiting transmit request is called off and a keyed transmitter
    // released. Returns why the client refused the release, empty when nothing stays keyed.
    QString releaseTransmitter();
    // Writes the 16 settings as one batch; a failure shows in the status line.
    SaveResult SaveData();
    // Preset captions of the active set and band; unchanged when either is not selected.
    void ChangeBand();
    // Reports Callsign, Prog and Ver to the statistics server. Returns at once; the answer
    // is discarded. Skipped when no statistics host is configured.
    void SaveUserData();
    // The statistics report's client (tests watch its requests).
    Http *statisticsReport() const { return statisticsReport_; }

    // 1 ... 4 / 1 ... 6, or 0 when no option of the group is selected.
    int activeSet() const;
    int activeBand() const;
    // Selects (or clears) one option of a group; clearing the selected one leaves the group
    // with none selected.
    void setBandOption(int band, bool selected);
    void setSetOption(int set, bool selected);

    // The callsign the client reported at start-up, empty when it could not be asked.
    const QString &localCallsign() const { return localCallsign_; }
    // The client handle of this window, or nullptr when no client runs.
    EchoLinkClient *client() const { return client_.get(); }
    // The handle, or EchoLinkError when no client runs.
    EchoLinkClient &requireClient() const;

    // The station model: transmit state and request, receive indication, station count,
    // frequency, linked node. Every window renders it; this window holds it.
    station::StationState &station() const { return *state_; }

    FrequencyPanels &frequencyPanels() const { return *frequency_; }
    CommandPanels &commandPanels() const { return *commands_; }
    StationPanel &stationPanel() const { return *station_; }
    FrequencyController &frequencyControl() const { return *frequencyControl_; }
    ProtocolController &protocol() const { return *protocol_; }
    StationController &stations() const { return *stations_; }

    void showStatus(const QString &text);
    QString statusText() const;
    // A refused or failed line to the distant node: it stays on the status line until a
    // later line goes out (lineSent), unless something else has written the line since.
    void showSendProblem(const QString &text);
    void lineSent();
    // A failure of a request that is made again later (node recognition, the busy listing,
    // the rig server's listener, keying): shown now, and taken off the status line by the
    // next request of its kind that works, unless something else has been written there since.
    enum class Problem { Recognition, BusyListing, RigListener, Transmit, Count };
    void showProblem(Problem kind, const QString &text);
    void problemSolved(Problem kind);
    // What showProblem last said for `kind` that has not been solved since; empty if none.
    QString problem(Problem kind) const { return problems_[int(kind)]; }

    // Timer1 ... Timer7; Timer6 and Timer7 are the station model's request timers.
    QTimer *timer(int number) const;

public slots:
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void Timer4_Timer();
    void Timer5_Timer();
    void Timer6_Timer();
    void Timer7_Timer();

    // Node button captions and the active node's line follow the preset sets.
    void refreshNodeCaptions();

    // A chat line from the link: sender tag, the text as the chat window shows it (with its
    // time stamp, if any) for the chat log RTB2, and the bare message for the last-line box
    // RTB, which shows it on one line until Timer1 hides it.
    void showChatLine(const QString &tag, const QString &shown, const QString &message);

    // Panel rules.
    void togglePanel(QWidget *panel);
    void toggleKeypad();
    void showPresetPanel();
    void showUserFrequencyPanelOnly();
    void chooseUserFrequencies();
    void chooseUserCommands();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildLayout();
    // Tab goes through the controls in the order the window shows them.
    void setTabChainAsShown();
    void buildMenus();
    void buildTimers();
    void wireControls();
    // The transmit box, the fields and the counts follow the station model.
    void renderStation();

    void detectLinkedNode();
    // Exit paths: release the transmitter, save, tell the user what failed, end. A client
    // that is closing takes its transmitter with it: a refused release is not worth a word.
    void saveAndEnd(bool clientClosing = false);
    void buildMeter();
    // The keys leave a switched panel that closes for where they were when it opened.
    void rememberFocusFor(QWidget *panel);
    void returnFocusFrom(QWidget *panel);
    void showWindow(const QString &name);
    void startMixer(const QString &tabArgument);
    void sendCommand(const QString &line);
    void remoteTime();
    void listBusy();

    Program &program_;
    std::unique_ptr<EchoLinkClient> client_;
    QString localCallsign_;
    std::unique_ptr<FrequencyPanels> frequency_;
    std::unique_ptr<CommandPanels> commands_;
    std::unique_ptr<StationPanel> station_;
    StationController *stations_ = nullptr; // child QObject
    FrequencyController *frequencyControl_ = nullptr; // child QObject
    ProtocolController *protocol_ = nullptr;          // child QObject
    Http *statisticsReport_ = nullptr;                // child QObject, made by SaveUserData
    QLabel *statusLine_ = nullptr;
    QString sendProblem_; // what showSendProblem last put on the status line
    QString problems_[int(Problem::Count)]; // what showProblem said of each kind, until solved
    PlainClick chatClick_; // a click in the chat boxes, not a selection
    QWidget *panelArea_ = nullptr; // scroll area holding the switched panels
    // Where the keys were when each switched panel opened: they go back there when it closes.
    QHash<QObject *, QPointer<QWidget>> focusBeforePanel_;
    QString lastSaveError_;
    bool leaving_ = false; // an exit path runs
    QMenu *soundDeviceMenu_ = nullptr;
    station::StationState *state_ = nullptr; // child QObject
    QTimer *timers_[5] = {};
};

} // namespace tavrin
