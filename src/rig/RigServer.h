#pragma once
// The rig server's sockets: a QTcpServer that takes any number of clients, cuts what they
// send into lines (ended by LF, CR or CR LF) and answers each line from a RigBackend. A line
// longer than kMaxLineBytes closes that connection; "q" answers and closes. A command whose
// arguments are still to come on the next lines waits in that connection's session, never
// in the server: other clients are served meanwhile. At most kMaxClients connections are
// served at once: a further one is closed as it comes, so a connection storm cannot use up
// the program's file descriptors. Nothing here waits.
//
// Flow control: a client's lines are answered only while its unsent replies stay under
// kMaxUnsentBytes, and nothing more is read from it while any reply waits for the network,
// so a client that never reads costs a bounded amount of memory; TCP holds the rest of its
// commands on its side. Each turn answers at most kLinesPerTurn lines before the other
// clients get theirs. A client that sends its commands and half-closes gets every answer:
// its end of input is only read once all replies are on the wire.
//
// Thread: user-interface thread. Owns its server socket and the client sockets (children);
// does not own the backend.

#include "rig/RigProtocol.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>

class QTcpServer;
class QTcpSocket;

namespace tavrin::rig {

class RigServer : public QObject {
    Q_OBJECT
public:
    explicit RigServer(RigBackend &backend, QObject *parent = nullptr);
    ~RigServer() override;

    // Starts listening (closing any earlier listener and its clients first). Returns an
    // empty text on success, else why it failed, worded for the user.
    QString listen(const QHostAddress &address, quint16 port);
    // Stops listening and drops every client.
    void close();

    bool isListening() const;
    quint16 port() const;
    int clientCount() const { return int(clients_.size()); }

    // Bounds described above; public for the tests.
    static constexpr qint64 kMaxUnsentBytes = 64 * 1024;
    static constexpr int kLinesPerTurn = 32;
    static constexpr int kMaxClients = 256;

signals:
    // A client connection ended (its id as given to the backend).
    void clientClosed(int client);
    void clientCountChanged(int count);

private:
    struct Client {
        int id = 0;
        // Bytes at the front of the socket's read buffer that are answered already. While a
        // reply waits, one of them stays there: a non-empty full read buffer is what stops
        // the socket from reading on to the end of input, which would discard the reply.
        qsizetype answered = 0;
        bool closing = false;   // answered "q": ignore the rest
        bool serving = false;   // inside serve(): a nested call (bytesWritten) is a no-op
        bool turnQueued = false; // more lines wait for the next turn
        Session session;
    };

    void accept();
    void serve(QTcpSocket *socket);
    void drop(QTcpSocket *socket);

    RigBackend &backend_;
    QTcpServer *server_ = nullptr;
    QHash<QTcpSocket *, Client> clients_;
    int nextId_ = 1;
};

} // namespace tavrin::rig
