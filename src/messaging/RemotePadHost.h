#pragma once
// What the Remote Pad needs of the main window: its entry fields, its frequency field and
// display, its transmit state and the request timers. The frequency text rules and the lines
// it sends come from the protocol library, as they do for the main window.
// The pad drives the main window's state through this interface only, so the messaging
// library never sees the main window's classes; the composition root implements it.
//
// Thread: user-interface thread.

#include <QString>

namespace tavrin::messaging {

class RemotePadHost {
public:
    virtual ~RemotePadHost() = default;

    // The entry fields Text3 and Text11 of the main window's two keypads.
    virtual void appendToEntries(const QString &text) = 0;
    virtual void clearEntries() = 0;

    // Label4, the large display, and Text1, the frequency field.
    virtual QString display() const = 0;
    virtual void setDisplay(const QString &text) = 0;
    virtual void setFrequency(const QString &text) = 0;

    // PTT1 reads "IP  TX  ON": the link is sending audio.
    virtual bool linkBusy() const = 0;
    // NumStations read as a number is above 0.
    virtual bool stationConnected() const = 0;
    virtual bool txState() const = 0;
    // TxState and the main window's Label3 (text and colour).
    virtual void setTxState(bool transmitting) = 0;
    // The main window's part of a transmit request: its Frame11 shown, Timer6's wait taken
    // from Text15, Timer6 and Timer7 started. Returns what went wrong, empty when nothing did.
    virtual QString beginTransmitRequest() = 0;
};

} // namespace tavrin::messaging
