#pragma once
// A fake EchoLink directory server for tests and benchmarks: a TCP server on the address
// and port you give (tests use 127.0.0.3:15200), one request per connection like the real
// ones.
//
//   login  "l" CALL "\xac\xac" PASSWORD "\r" STATUS "(HH:MM)\r" DESCRIPTION "\r"
//          -> recorded in logins(); answered "OK" or the refusal set by refuseLogins().
//   list   "s" -> "@@@\n" count "\n", four lines per station, "+++\n" (from setStations(),
//          or the exact bytes of setListReply()).
//
// Misbehaviour (setMode), for both kinds of request:
//   Normal     as above.
//   Oversized  lines of 100 KiB (a list whose callsign lines are 100 KiB; a 100 KiB login answer).
//   Flood      64 MiB of well-formed-looking entries with 1000-byte descriptions, never "+++",
//              written as the client reads it (the fake itself stays small).
//   Truncated  the list with its last entry cut mid-line, then the connection closed;
//              a login gets no answer before the close.
//   Garbage    4 KiB of random bytes (fixed seed), then the close.
//   Silent     reads the request, never answers, keeps the connection open.
//   Slow       the normal answer, a few bytes at a time (setTrickle()).
//
// Thread: the thread that made it; it needs that thread's event loop to run.

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace tavrin::test {

struct FakeStation {
    QString callsign;
    QString location;
    QString status = QStringLiteral("ON");
    QString time = QStringLiteral("12:34");
    quint32 id = 1;
    QString address = QStringLiteral("127.0.0.2");
};

struct FakeLogin {
    QString callsign;
    QString password;
    QString status;      // "ONLINE3.40", "BUSY3.40", "OFF-V3.40"
    QString time;        // "HH:MM"
    QString description;
};

class FakeDirectory : public QObject {
    Q_OBJECT
public:
    enum class Mode { Normal, Oversized, Flood, Truncated, Garbage, Silent, Slow };

    explicit FakeDirectory(QObject *parent = nullptr);
    ~FakeDirectory() override;

    // False when the address/port can't be bound (errorString() says why).
    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const;
    quint16 port() const;
    // "ADDRESS:PORT", as a directory server entry.
    QString server() const;

    void setMode(Mode mode);
    void setStations(const QList<FakeStation> &stations);
    // Replaces the list reply with exactly these bytes (Normal and Slow modes).
    void setListReply(const QByteArray &reply);
    // Empty: logins are accepted with "OK".
    void refuseLogins(const QString &reason);
    // Non-empty: logins with another password are refused with kWrongPassword.
    void requirePassword(const QString &password) { password_ = password; }
    static constexpr char kWrongPassword[] = "Incorrect password for this callsign";
    // Slow mode: `bytes` every `intervalMs` (default 1 byte every 20 ms).
    void setTrickle(int bytes, int intervalMs);

    const QList<FakeLogin> &logins() const { return logins_; }
    int listRequests() const { return listRequests_; }
    int connectionCount() const { return connectionCount_; } // accepted so far
    int openConnections() const;
    qint64 bytesSent() const { return bytesSent_; } // over all connections

    // The well-formed reply for these stations.
    static QByteArray listReply(const QList<FakeStation> &stations);

Q_SIGNALS:
    void loginReceived(const tavrin::test::FakeLogin &login);
    void listRequested();

private:
    struct Connection;
    void accept();
    void readFrom(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const QByteArray &reply, bool isList);
    void pump(QTcpSocket *socket);

    QTcpServer *server_ = nullptr; // child
    Mode mode_ = Mode::Normal;
    QString password_;
    QList<FakeStation> stations_;
    QByteArray listReply_;
    bool customList_ = false;
    QString refusal_;
    int trickleBytes_ = 1;
    int trickleMs_ = 20;
    QList<FakeLogin> logins_;
    int listRequests_ = 0;
    int connectionCount_ = 0;
    qint64 bytesSent_ = 0;
    QHash<QTcpSocket *, Connection *> connections_; // owned
};

} // namespace tavrin::test
