#include "core/rig/RigServer.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace tavrin::rig {

RigServer::RigServer(RigBackend &backend, QObject *parent) : QObject(parent), backend_(backend) {}

RigServer::~RigServer()
{
    // No signals from half-destroyed sockets into a backend that may be going too.
    for (auto it = clients_.begin(); it != clients_.end(); ++it)
        it.key()->disconnect(this);
}

QString RigServer::listen(const QHostAddress &address, quint16 port)
{
    close();
    server_ = new QTcpServer(this);
    if (!server_->listen(address, port)) {
        const QString why = server_->errorString();
        delete server_;
        server_ = nullptr;
        return why;
    }
    connect(server_, &QTcpServer::newConnection, this, &RigServer::accept);
    return {};
}

void RigServer::close()
{
    if (server_) {
        server_->close();
        delete server_;
        server_ = nullptr;
    }
    const QList<QTcpSocket *> sockets = clients_.keys();
    for (QTcpSocket *s : sockets)
        drop(s);
}

bool RigServer::isListening() const { return server_ && server_->isListening(); }

quint16 RigServer::port() const { return server_ ? server_->serverPort() : 0; }

void RigServer::accept()
{
    while (QTcpSocket *s = server_->nextPendingConnection()) {
        s->setParent(this);
        // Replies are a few bytes each: send them without waiting for more.
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        clients_.insert(s, Client{nextId_++, {}});
        connect(s, &QTcpSocket::readyRead, this, [this, s] { readFrom(s); });
        connect(s, &QTcpSocket::disconnected, this, [this, s] { drop(s); });
        emit clientCountChanged(clientCount());
        // Data may have come with the connection.
        if (s->bytesAvailable() > 0)
            readFrom(s);
    }
}

void RigServer::readFrom(QTcpSocket *socket)
{
    auto it = clients_.find(socket);
    if (it == clients_.end())
        return;
    if (it->closing) {
        socket->readAll();
        return;
    }
    it->buffer += socket->readAll();
    QByteArray replies;
    bool closeAfter = false;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = it->buffer.indexOf('\n', start);
        if (end < 0)
            break;
        if (end - start > kMaxLineBytes) {
            drop(socket);
            return;
        }
        const std::optional<Request> request = parseRequest(it->buffer.mid(start, end - start));
        start = end + 1;
        if (!request)
            continue;
        const Reply reply = answer(*request, backend_, it->id);
        replies += reply.text;
        if (reply.close) {
            closeAfter = true;
            it->closing = true;
            break;
        }
        // The backend may have dropped clients (it never does today, but the iterator
        // would not survive that).
        it = clients_.find(socket);
        if (it == clients_.end())
            return;
    }
    if (!closeAfter) {
        it->buffer.remove(0, start);
        if (it->buffer.size() > kMaxLineBytes) {
            drop(socket);
            return;
        }
    }
    if (!replies.isEmpty())
        socket->write(replies);
    if (closeAfter) {
        // Let the answer go out, then close; drop() runs from the disconnected signal.
        socket->disconnectFromHost();
        if (socket->state() == QAbstractSocket::UnconnectedState)
            drop(socket);
    }
}

void RigServer::drop(QTcpSocket *socket)
{
    const auto it = clients_.find(socket);
    if (it == clients_.end())
        return;
    const int id = it->id;
    clients_.erase(it);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    emit clientClosed(id);
    emit clientCountChanged(clientCount());
}

} // namespace tavrin::rig
