#include "rig/RigServer.h"

#include <algorithm>

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace tavrin::rig {

namespace {
constexpr int kAcceptRetryMs = 1000;
} // namespace

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
    // Qt stops accepting for good after a failed accept (no descriptors left, say): try again
    // a moment later rather than leave the server deaf until it is restarted.
    QTcpServer *server = server_;
    connect(server_, &QTcpServer::acceptError, server_, [server] {
        QTimer::singleShot(kAcceptRetryMs, server, [server] { server->resumeAccepting(); });
    });
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

namespace {
// Room for a whole line with its line end next to the one answered byte a waiting reply
// keeps, and for several short commands per read.
constexpr qint64 kReadBufferBytes = 4 * kMaxLineBytes;

// Where the line that starts at `from` ends: rigctld takes CR as well as LF.
qsizetype lineEnd(const QByteArray &data, qsizetype from)
{
    for (qsizetype i = from; i < data.size(); ++i)
        if (data.at(i) == '\n' || data.at(i) == '\r')
            return i;
    return -1;
}

// The socket reads while its read buffer holds less than the limit. It looks at the limit
// again only when the limit changes, so set it through "unlimited".
void limitReading(QTcpSocket *socket, qint64 limit)
{
    socket->setReadBufferSize(0);
    socket->setReadBufferSize(limit);
}
} // namespace

void RigServer::accept()
{
    while (QTcpSocket *s = server_->nextPendingConnection()) {
        if (clients_.size() >= kMaxClients) {
            s->abort();
            s->deleteLater();
            continue;
        }
        s->setParent(this);
        // Replies are a few bytes each: send them without waiting for more.
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        s->setReadBufferSize(kReadBufferBytes);
        Client client;
        client.id = nextId_++;
        clients_.insert(s, client);
        connect(s, &QTcpSocket::readyRead, this, [this, s] { serve(s); });
        connect(s, &QTcpSocket::bytesWritten, this, [this, s] { serve(s); });
        connect(s, &QTcpSocket::disconnected, this, [this, s] { drop(s); });
        emit clientCountChanged(clientCount());
        // Data may have come with the connection.
        if (s->bytesAvailable() > 0)
            serve(s);
    }
}

void RigServer::serve(QTcpSocket *socket)
{
    auto it = clients_.find(socket);
    if (it == clients_.end() || it->serving)
        return;
    if (it->closing) {
        socket->readAll();
        return;
    }
    it->serving = true;
    const int id = it->id;
    Session session = it->session; // the backend's calls may change the client table
    qsizetype answered = it->answered;
    bool closeAfter = false;
    bool linesLeft = false;
    int lines = 0;
    // The input is read in place (peek) and only skipped at the end, so that a waiting reply
    // can keep the last answered byte in the buffer. One write per turn.
    const QByteArray data = socket->peek(kReadBufferBytes);
    const qint64 unsent = socket->bytesToWrite();
    QByteArray replies;
    for (;;) {
        const qsizetype end = lineEnd(data, answered);
        if (end < 0) {
            if (data.size() - answered > kMaxLineBytes) {
                drop(socket);
                return;
            }
            break;
        }
        if (end - answered > kMaxLineBytes) {
            drop(socket);
            return;
        }
        if (lines == kLinesPerTurn || unsent + replies.size() >= kMaxUnsentBytes) {
            linesLeft = true;
            break;
        }
        ++lines;
        const QList<Request> requests = parseLine(data.mid(answered, end - answered), session);
        answered = end + 1;
        for (const Request &request : requests) {
            const Reply reply = answer(request, backend_, id, session);
            replies += reply.text;
            if (reply.close) {
                closeAfter = true;
                break;
            }
        }
        if (closeAfter)
            break;
    }
    if (!replies.isEmpty()) {
        // On the wire now; what the network cannot take yet stays in the socket. A failed
        // write may drop the client.
        socket->write(replies);
        socket->flush();
    }

    it = clients_.find(socket);
    if (it == clients_.end())
        return;
    it->serving = false;
    it->session = session;
    if (closeAfter) {
        // Let the answer go out, then close; drop() runs from the disconnected signal.
        it->closing = true;
        socket->readAll();
        socket->disconnectFromHost();
        if (socket->state() == QAbstractSocket::UnconnectedState)
            drop(socket);
        return;
    }
    if (socket->bytesToWrite() > 0 || linesLeft) {
        // Replies or lines wait: read nothing more. A read buffer that is full stops the
        // socket from reading; it must not be empty, or the socket would read on and could
        // meet the end of input, when it drops unsent replies and unanswered lines.
        if (answered > 1) {
            socket->skip(answered - 1);
            answered = 1;
        }
        limitReading(socket, std::max<qint64>(socket->bytesAvailable(), 1));
    } else {
        socket->skip(answered);
        answered = 0;
        limitReading(socket, kReadBufferBytes);
    }
    it->answered = answered;
    if (linesLeft && socket->bytesToWrite() == 0 && !it->turnQueued) {
        // The other clients' events first. (With replies waiting, bytesWritten comes back.)
        it->turnQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this, guard = QPointer<QTcpSocket>(socket)] {
                const auto c = guard ? clients_.find(guard.data()) : clients_.end();
                if (c == clients_.end())
                    return;
                c->turnQueued = false;
                serve(guard.data());
            },
            Qt::QueuedConnection);
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
