#pragma once
// The main window's side of the remote command protocol: it reads every incoming chat line
// (version query, frequency report, message for the local sysop), passes the link's receive
// state to the station model, and is the main window's port for the transmit control: the
// transmit button Command1x presses it through here, and keying from the request timer or a
// release goes out through this window's client handle.
//
// The chat handler is hot: markers are rebuilt only when the callsign or the extra call
// changes, and a line that matches nothing costs a few searches. Steps run with errors
// ignored; a failed send of the transmit button shows in the status line, the answers to
// incoming lines are lost silently. A message for the sysop leaves the window through the
// signal sysopMessage; the extra call comes from the chat window through setExtraCall.
//
// Thread: user-interface thread. Owned by the main window; owns nothing but its connections.
#include "protocol/RemoteProtocol.h"
#include "station/TransmitControl.h"

#include <QObject>
#include <QString>

namespace tavrin {

class MainWindow;
class Program;

class ProtocolController : public QObject, public station::TransmitPort {
    Q_OBJECT
public:
    ProtocolController(MainWindow &window, Program &program);

    void EchoLink_ChatTextReceived(const QString &line);
    void EchoLink_RX(bool receiving);
    // Command1x: the transmit control pressed from the main window.
    void Command1x_Click();
    // The chat window's extra call (ExtraCall): a second callsign whose sysop markers count.
    void setExtraCall(const QString &call) { extraCall_ = call; }

    // The transmit control's way out through this window's handle.
    void sendRequestLine(const QString &line) override;
    bool setTransmit(bool key) override;
    void reportProblem(const QString &text) override;

signals:
    // A message for the local sysop, as its log entry (with its line ends for the log).
    void sysopMessage(const QString &entry);

private:
    void answerVersionQuery(const QString &line);
    void readFrequencyReport(const QString &line);
    void readSysopMessage(const QString &line);
    void refreshMarkers(const QString &localCallsign, const QString &extraCall);

    MainWindow &window_;
    Program &program_;
    QString markersCallsign_;
    QString markersExtraCall_;
    remote::SysopMarkers markers_;
    bool markersBuilt_ = false;
    QString extraCall_;
};

} // namespace tavrin
