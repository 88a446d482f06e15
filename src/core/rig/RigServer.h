#pragma once
// The rig server's sockets: a QTcpServer that takes any number of clients, cuts what they
// send into lines and answers each line at once from a RigBackend. A line longer than
// kMaxLineBytes closes that connection; "q" answers and closes. Nothing here waits: every
// reply is written from the readyRead handler.
//
// Thread: user-interface thread. Owns its server socket and the client sockets (children);
// does not own the backend.

#include "core/rig/RigProtocol.h"

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

signals:
    // A client connection ended (its id as given to the backend).
    void clientClosed(int client);
    void clientCountChanged(int count);

private:
    struct Client {
        int id = 0;
        QByteArray buffer;
        bool closing = false; // answered "q": ignore the rest
    };

    void accept();
    void readFrom(QTcpSocket *socket);
    void drop(QTcpSocket *socket);

    RigBackend &backend_;
    QTcpServer *server_ = nullptr;
    QHash<QTcpSocket *, Client> clients_;
    int nextId_ = 1;
};

} // namespace tavrin::rig
