#pragma once
// The Remote Pad "Form3": a small window kept above all others with the keypad, the eight
// steps, the transmit button, the frequency display, the indicators, the station list, a
// chat log with its send line and a level meter. It works on the main window's frequency and
// transmit state (through RemotePadHost) and sends every line through its own client handle;
// it handles no client events. The main window's timers and the chat window write into its
// controls through the registry.
//
// A failed send of Enter or of the chat line keeps what was typed and says so in the pad's
// StatusLine; the steps and the transmit button carry on past a failure, reporting it there.
// Enter and the steps send no frequency command that is not a frequency above 0 MHz: they
// change nothing and say why there.
//
// Thread: user-interface thread. Owns its client handle and its host; reaches other windows
// only through the registry.

#include "common/Clock.h"
#include "ui/WindowRegistry.h"
#include "echolink/EchoLinkClient.h"
#include "messaging/OnTop.h"
#include "messaging/RemotePadHost.h"
#include "messaging/RemotePadPanels.h"

#include <QWidget>

#include <memory>

namespace tavrin::messaging {

class RemotePad : public QWidget {
    Q_OBJECT
public:
    RemotePad(WindowRegistry &registry, const Clock &clock, std::unique_ptr<RemotePadHost> host);
    ~RemotePad() override;

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
    // Command1x: a transmit request while the link is busy, otherwise key or release.
    void Command1x_Click();
    // Send or Enter in TextTX.
    void Send_Click();

    void showChatWindow();
    void showMainWindow();

    const RemotePadControls &controls() const { return c_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void wire();
    // Sends one line through the pad's handle; a failure goes to the status line.
    bool send(const QString &line);
    void showStatus(const QString &text);
    void showTransmitState(bool transmitting);
    void focusSendLine();
    QString localCallsign();

    WindowRegistry &registry_;
    const Clock &clock_;
    std::unique_ptr<RemotePadHost> host_;
    std::unique_ptr<EchoLinkClient> client_;
    OnTop onTop_;
    RemotePadControls c_;
    QString lastCallsign_; // the last callsign the client gave: used when it cannot say
};

} // namespace tavrin::messaging
