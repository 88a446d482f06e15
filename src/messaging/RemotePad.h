#pragma once
// The Remote Pad "Form3": a small window kept above all others with the keypad, the eight
// steps, the transmit button, the frequency display, the indicators, the station list, a
// chat log with its send line and a level meter. It renders the station model (receive
// indication, transmit state, request notice), sets its frequency and display, presses the
// shared transmit control, types into the main window's entry fields through RemotePadHost,
// and sends every line through its own client handle; it handles no client events. The
// frequency copy, the station list and the chat lines of other windows arrive through its
// typed slots, wired by the composition root.
//
// A failed send of Enter or of the chat line keeps what was typed and says so in the pad's
// StatusLine; the steps and the transmit button carry on past a failure, reporting it there.
// Enter and the steps send no frequency command that is not a frequency above 0 MHz: they
// change nothing and say why there.
//
// The program has the controls built on first use: when the pad first shows or a control of
// it is looked up (ensureBuilt()). Until then what they would show waits in members (the
// frequency copy, the station list, the status line) or comes from the station model. The
// level meter and the chat log are there from load, hidden: the meter records and the log
// takes every line as before.
//
// Thread: user-interface thread. Owns its client handle and its host; shows and raises other
// windows through the registry, by name.

#include "common/Clock.h"
#include "ui/WindowRegistry.h"
#include "echolink/EchoLinkClient.h"
#include "messaging/OnTop.h"
#include "messaging/RemotePadHost.h"
#include "messaging/RemotePadPanels.h"
#include "station/TransmitControl.h"
#include "ui/ControlsBuilt.h"
#include "ui/PlainClick.h"

#include <QWidget>

#include <memory>
#include <optional>

namespace tavrin::station {
class StationState;
}

namespace tavrin::messaging {

class RemotePad : public QWidget, private station::TransmitPort {
    Q_OBJECT
public:
    using Fields = ControlsBuilt;
    RemotePad(WindowRegistry &registry, const Clock &clock, station::StationState &state,
              std::unique_ptr<RemotePadHost> host, Fields fields = Fields::Now);
    ~RemotePad() override;

    // Builds the controls if they are not there yet.
    Q_INVOKABLE void ensureBuilt();
    void setVisible(bool visible) override;

    // Load steps, each carrying on past a failure: the client handle (null when no client
    // runs), kept above other windows, the meter started.
    void Form_Load(std::unique_ptr<EchoLinkClient> client);

    void appendDigit(int digit);
    void appendPoint();
    void clearEntry();
    // Command35: the typed frequency to the main window and the node.
    void Command35_Click();
    // A step button: the main window's display moved by tenThousandths / 10000 MHz.
    void step(long long tenThousandths);
    // Command1x: the shared transmit control, pressed from the pad.
    void Command1x_Click();
    // Send or Enter in TextTX.
    void Send_Click();

    // The station list, as the main window shows it.
    void showStationList(const QString &list);
    // The frequency with its unit, as the main window's supervision shows it (Text12).
    void showFrequency(const QString &withUnit);
    // A chat line for the pad's log RTB (with its line end).
    void appendChatLog(const QString &line);
    // Stops the level meter before the program ends.
    void stopMeter();

    void showChatWindow();
    void showMainWindow();

    const RemotePadControls &controls()
    {
        ensureBuilt();
        return c_;
    }

signals:
    // A chat line the pad sent, as its log shows it, for the chat window's box.
    void ownLineSent(const QString &line);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void wire();
    // Sends one line through the pad's handle; a failure goes to the status line.
    bool send(const QString &line);
    void showStatus(const QString &text);
    void render();
    void showReceiving(bool receiving);
    void showTransmitState(bool transmitting);
    void showRequestNotice(bool shown);

    // The transmit control's way out through the pad's handle.
    void sendRequestLine(const QString &line) override;
    bool setTransmit(bool key) override;
    void reportProblem(const QString &text) override;
    void focusSendLine();
    QString localCallsign();

    WindowRegistry &registry_;
    const Clock &clock_;
    station::StationState &state_;
    std::unique_ptr<RemotePadHost> host_;
    std::unique_ptr<EchoLinkClient> client_;
    OnTop onTop_;
    // There from load, among the other controls once they are built.
    GradH *meter_ = nullptr;
    QPlainTextEdit *log_ = nullptr;
    RemotePadControls c_;    // empty until built
    QString lastCallsign_; // the last callsign the client gave: used when it cannot say
    PlainClick logClick_;   // a click in the chat log, not a selection
    // What the controls show, or will show once built.
    QString frequencyText_;
    QString stationListText_;
    QString statusText_;
    QString transmitProblem_; // a keying or release failure the status line may still show
};

} // namespace tavrin::messaging
