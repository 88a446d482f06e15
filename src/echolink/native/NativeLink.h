#pragma once
// The native link: this program itself is the operator's EchoLink station.
//
// One NativeLink is the station: it owns the library's UDP dispatcher (bound at the port
// base on the bind address), the directory client (login with the operator's callsign,
// the station list), the connections to other stations, and the voice path. factory()
// gives the handles the windows use; every handle of one program shares this station and
// events reach the handles in the order they were created.
//
// Behaviour the windows rely on:
//  - Connect(call) finds the callsign in the directory's station list (fetching it when
//    it is not known yet) and links to that address; an unknown callsign fails.
//  - An incoming connection is accepted once (the library repeats the request until it is
//    answered) and refused while the station is busy. At most 16 stations are held at once;
//    a caller named with no callsign, with ours, or with one linked from another address is
//    ignored (with a status), so no station can put another's tag on its chat lines.
//  - Chat lines arrive as "CALL>text" without trailing line breaks; station info text,
//    RX, Connected (callsign, name, address) and Closing (when the station shuts down) are
//    raised as queued signals.
//  - StationCallsign() is the configured callsign in upper case.
//  - SetBusy changes the directory status; SetTransmit keys the voice path.
//  - A port already in use, an unreachable or misbehaving directory and garbage from a peer
//    give a status message (statusChanged) and never crash or hang the program.
//
// Thread: user-interface thread. The library runs on the Qt event loop through the
// adapter in QtAsyncApplication.h.

#include "echolink/EchoLinkClient.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace tavrin {

struct NativeLinkOptions {
    QString callsign;            // e.g. "N0CALL-L"; sent in upper case
    QString password;            // directory login; may arrive later through setPassword()
    QString name;                // operator's name, sent to peers
    QString location;            // directory description
    QStringList directoryServers; // "host" or "host:port"; tried in turn
    quint16 directoryPort = 5200; // used when a server names no port
    int portBase = 5198;          // UDP ports portBase (audio) and portBase+1 (control)
    QString bindAddress;          // empty: every address
    QString audioInput;           // QAudioDevice id; empty: default; "none": no capture
    QString audioOutput;          // QAudioDevice id; empty: default; "none": no playback
    int directoryRefreshMs = 300000; // re-login and station-list refresh while running
    int directoryTimeoutMs = 10000;

    // TEST SEAM, not for the program: when set, keying takes its voice from here instead of
    // the audio input. Called every 20 ms while sending; returns up to `samples` samples of
    // 8 kHz 16-bit mono PCM in native byte order.
    std::function<QByteArray(int samples)> testAudioInput;
};

class NativeLinkStation;

class NativeLink : public QObject {
    Q_OBJECT
public:
    explicit NativeLink(NativeLinkOptions options, QObject *parent = nullptr);
    ~NativeLink() override; // disconnects every station, logs off, raises Closing first

    // Binds the ports and starts the directory login. False (with statusText() saying why)
    // when the station cannot run, e.g. the port is in use; the handles then fail their calls.
    bool start();
    // The directory password, when it comes from the keychain after start(); logs in then.
    void setPassword(const QString &password);
    // Shuts the station down: every link dropped, logged off, Closing raised on the handles.
    void shutdown();
    // After shutdown(): the directory logoff is still under way (it ends by itself, answered
    // or timed out, as long as the event loop runs).
    bool logoffPending() const;
    // After shutdown(): runs the event loop until the logoff has ended or `maxWaitMs` have
    // passed, so that a program ending tells the directory it has gone (callers stop trying
    // it) and a directory that does not answer holds the end no longer than that.
    void waitForLogoff(int maxWaitMs);

    std::unique_ptr<EchoLinkClientFactory> factory();

    QString statusText() const;
    bool isRunning() const;

Q_SIGNALS:
    void statusChanged(const QString &text);

private:
    std::unique_ptr<NativeLinkStation> d;
};

} // namespace tavrin
