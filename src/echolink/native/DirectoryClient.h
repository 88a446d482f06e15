#pragma once
// Our own client of the EchoLink directory: login with status, and the station list.
//
// Each request is one short TCP conversation with a directory server (servers tried in
// turn; "host" or "host:port", the default port otherwise): connect, send, read the reply
// to its end, close. Replies are read with hard limits (line length, station count, total
// size) and a time-out, so an oversized, truncated or garbled reply is an error message,
// never a crash or a hang. Nothing blocks: results come as signals.
//
// Thread: the thread it lives on (the user-interface thread).

#include "echolink/native/DirectoryProtocol.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace tavrin {

class DirectoryClient : public QObject {
    Q_OBJECT
public:
    struct Options {
        QStringList servers;
        quint16 defaultPort = 5200;
        QString callsign; // upper case on the wire
        QString password;
        QString description; // location shown in the list
        int timeoutMs = 10000; // per server tried: connecting and the whole reply
    };

    explicit DirectoryClient(Options options, QObject *parent = nullptr);
    ~DirectoryClient() override;

    void setPassword(const QString &password);

    // Logs in with that status (Offline logs off). Ends in loggedIn() or failed().
    void login(DirectoryStatus status);
    // Fetches the station list. Ends in stationsUpdated() or failed().
    void refreshStations();
    // Drops the station-list request, queued or under way, without an answer: a station that
    // stops wants its logoff out at once, not behind a list that may take its time.
    void abandonStationList();
    // The same for a login: call it before the logoff, or that would queue behind a login
    // stalled on a silent server.
    void abandonLogin();

    const QList<DirectoryStation> &stations() const;
    std::optional<DirectoryStation> find(const QString &callsign) const; // case-blind
    DirectoryStatus lastStatus() const;

Q_SIGNALS:
    void loggedIn(tavrin::DirectoryStatus status);
    void stationsUpdated();
    void failed(const QString &message); // a clear, user-readable reason

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tavrin
