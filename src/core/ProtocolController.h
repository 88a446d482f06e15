#pragma once
// The main window's side of the remote command protocol: it reads every incoming chat line
// (version query, frequency report, message for the local sysop), shows the link's receive
// state in PTT1, and runs the transmit button Command1x with its timed transmit request
// (Timer6 ends the wait, Timer7 keys once the link goes quiet).
//
// The chat handler is hot: markers are rebuilt only when the callsign or the extra call
// changes, and a line that matches nothing costs a few searches. Steps run with errors
// ignored; a failed send of the transmit button shows in the status line, the answers to
// incoming lines are lost silently. Writes into the Remote Pad (Form3), the sysop box
// (Form126) and reads of the chat window (Messages) go through the registry and are
// skipped while those windows are absent.
//
// Thread: user-interface thread. Owned by the main window; owns nothing but its connections.

#include "protocol/RemoteProtocol.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

namespace tavrin {

class MainWindow;
class Program;

class ProtocolController : public QObject {
    Q_OBJECT
public:
    ProtocolController(MainWindow &window, Program &program);

    void EchoLink_ChatTextReceived(const QString &line);
    void EchoLink_RX(bool receiving);
    // Command1x: a transmit request while the link is busy, otherwise key or release.
    void Command1x_Click();
    // The transmit request's wait is over: notices hidden, Timer6 and Timer7 stopped.
    void Timer6_Timer();
    // Keys (or releases) once the link has gone quiet, then stops itself.
    void Timer7_Timer();
    // Releases the transmitter when it is keyed, as the button does (the rig server's T 0).
    void releaseTransmitter();

signals:
    // A frequency report was read: the formatted frequency and the mode word after it
    // ("USB"), empty when the report names none.
    void frequencyReportRead(const QString &frequency, const QString &modeWord);

private:
    void answerVersionQuery(const QString &line);
    void readFrequencyReport(const QString &line);
    void readSysopMessage(const QString &line);
    void refreshMarkers(const QString &localCallsign, const QString &extraCall);

    bool linkBusy() const;
    bool stationConnected() const;
    // Steps 3 and 4 of the button: flips TxState and the transmit display; the Remote
    // Pad's Label3 follows too when alsoPad.
    void toggleTransmitter(bool alsoPad);
    void showTransmitState(bool transmitting, bool alsoPad);
    void showRequestNotices(bool shown);
    QWidget *padControl(const char *name) const;
    void reportFailure(const QString &what, const std::exception &e);

    MainWindow &window_;
    Program &program_;
    QString markersCallsign_;
    QString markersExtraCall_;
    remote::SysopMarkers markers_;
    bool markersBuilt_ = false;
    // The chat window's extra call box, found once it exists.
    QPointer<QWidget> extraCallBox_;
};

} // namespace tavrin
