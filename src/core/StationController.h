#pragma once
// Station supervision and station management of the main window: the 300 ms link
// supervision (Timer3), the clock and node recognition (Timer4), the client's
// "station connected" and "station text" events, the node buttons Command29 ... Command32,
// their link toggles and "Disconnect All".
//
// What it learns goes to the station model (station count, transmit state, frequency reset,
// linked node), which every window renders; the frequency copy, the station list and the
// chosen node leave through signals that the composition root connects to the Remote Pad
// and the sysop box.
//
// A client call that the behaviour leaves unguarded is caught here and reported in the main
// window's status line; the window stays usable and what was already changed stays changed.
//
// Thread: user-interface thread. Owned by the main window; owns nothing but its connections.

#include <QObject>
#include <QString>

#include <exception>

class QMenu;
class QWidget;

namespace tavrin {

class MainWindow;
class Program;

class StationController : public QObject {
    Q_OBJECT
public:
    StationController(MainWindow &window, Program &program);

    // Link supervision: frequency copies, station count, transmit state, node captions.
    // Cheap: a control is written only when what it shows changes.
    void Timer3_Timer();
    // Clock, node recognition, band captions, the sound-device controls.
    void Timer4_Timer();

    void Echolink_connected(const QString &callsign);
    void Echolink_StationTextReceived(const QString &text);

    // Node button k / link toggle k, k = 1 ... 4.
    void nodeButton(int k);
    void linkToggle(int k);
    void disconnectAll();

signals:
    // Each supervision tick: the frequency with its unit, as Text12 shows it.
    void frequencyCopied(const QString &withUnit);
    // The station list as the main window shows it (empty once nobody is connected).
    void stationListChanged(const QString &list);
    // A node button chose this node (its caption): the sysop box takes it as its node call.
    void nodeChosen(const QString &call);

private:
    // IsConnected(call upper-cased). A failure answers false; the first failure's text is
    // kept in *failure for the caller to report once.
    bool askLinked(const QString &call, QString *failure);
    // The first of the four sets whose node answers "linked", or 0; failures reported once.
    int firstLinkedSet();
    // Connect(call), a failure said in the status line.
    void connectNode(const QString &call);

    MainWindow &window_;
    Program &program_;
    QMenu *soundDeviceMenu_ = nullptr;
};

} // namespace tavrin
