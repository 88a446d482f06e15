#pragma once
// Station supervision and station management of the main window: the 300 ms link
// supervision (Timer3), the clock and node recognition (Timer4), the client's
// "station connected" and "station text" events, the node buttons Command29 ... Command32,
// their link toggles and "Disconnect All".
//
// What the supervision shows also goes to the Remote Pad and the sysop message box, through
// the registry; while those windows are absent the writes are skipped.
//
// A client call that the behaviour leaves unguarded is caught here and reported in the main
// window's status line; the window stays usable and what was already changed stays changed.
//
// Thread: user-interface thread. Owned by the main window; owns nothing but cached pointers.

#include <QObject>
#include <QPointer>
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

private:
    // A control of another window, looked up once it exists and then kept.
    struct Remote {
        QString window;
        QString name;
        QPointer<QWidget> widget;
    };
    QWidget *remoteControl(Remote &r);

    void showTransmitState(bool transmitting);
    // IsConnected(call upper-cased). A failure answers false; the first failure's text is
    // kept in *failure for the caller to report once.
    bool askLinked(const QString &call, QString *failure);
    // The first of the four sets whose node answers "linked", or 0; failures reported once.
    int firstLinkedSet();

    MainWindow &window_;
    Program &program_;
    QMenu *soundDeviceMenu_ = nullptr;

    Remote padFrequency_{QStringLiteral("Form3"), QStringLiteral("Text1"), {}};
    Remote padStations_{QStringLiteral("Form3"), QStringLiteral("StationList"), {}};
    Remote padState_{QStringLiteral("Form3"), QStringLiteral("Label3"), {}};
    Remote padTransmit_{QStringLiteral("Form3"), QStringLiteral("Command1x"), {}};
    Remote padMeter_{QStringLiteral("Form3"), QStringLiteral("Frame13"), {}};
    Remote sysopNodeCall_{QStringLiteral("Form126"), QStringLiteral("Text2"), {}};
    Remote programDirectory_{QStringLiteral("Form14"), QStringLiteral("ProgDir"), {}};
};

} // namespace tavrin
