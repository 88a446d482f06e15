#include "support/FakeDirectory.h"

#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace tavrin::test {

namespace {

constexpr qsizetype kMaxRequest = 4096;
constexpr qsizetype kOversizedLine = 100 * 1024;
constexpr qint64 kFloodBytes = 64LL * 1024 * 1024;
constexpr qint64 kFloodBacklog = 1024 * 1024; // queued in the socket at most
constexpr qsizetype kGarbageBytes = 4096;
constexpr quint32 kGarbageSeed = 7;
constexpr QByteArrayView kPasswordSeparator = "\xac\xac";

QByteArray entry(const QString &callsign, const QString &location, const QString &status, const QString &time,
                 quint32 id, const QString &address)
{
    QByteArray out = callsign.toUtf8() + '\n' + location.toUtf8();
    if (!status.isEmpty())
        out += " [" + status.toUtf8() + (time.isEmpty() ? QByteArray() : ' ' + time.toUtf8()) + ']';
    out += '\n' + QByteArray::number(id) + '\n' + address.toUtf8() + '\n';
    return out;
}

// About 64 KiB of whole entries with 1000-byte descriptions; repeated, it stays well formed.
const QByteArray &floodChunk()
{
    static const QByteArray chunk = [] {
        QByteArray out;
        const QString location(1000, QLatin1Char('D'));
        for (int i = 0; out.size() < 64 * 1024; ++i)
            out += entry(QStringLiteral("FL%1").arg(i), location, QStringLiteral("ON"), QStringLiteral("12:34"), 1000 + i,
                         QStringLiteral("127.0.0.9"));
        return out;
    }();
    return chunk;
}

QList<FakeStation> sampleStations()
{
    const auto station = [](const char *call, const char *location, quint32 id) {
        return FakeStation{QString::fromLatin1(call), QString::fromLatin1(location), QStringLiteral("ON"),
                           QStringLiteral("10:00"), id, QStringLiteral("127.0.0.2")};
    };
    return {station("AA1AAA-L", "First", 11), station("BB2BBB-R", "Second", 22), station("CC3CCC", "Third", 33)};
}

} // namespace

struct FakeDirectory::Connection {
    QByteArray received;
    bool answered = false;
    QByteArray pending;  // Slow: still to trickle
    qint64 floodLeft = 0; // Flood: still to write
    QTimer *trickle = nullptr; // child of the socket
};

FakeDirectory::FakeDirectory(QObject *parent) : QObject(parent), server_(new QTcpServer(this))
{
    connect(server_, &QTcpServer::newConnection, this, &FakeDirectory::accept);
}

FakeDirectory::~FakeDirectory()
{
    for (auto it = connections_.cbegin(); it != connections_.cend(); ++it) {
        it.key()->disconnect(this);
        delete it.value();
    }
}

bool FakeDirectory::listen(const QHostAddress &address, quint16 port) { return server_->listen(address, port); }
QString FakeDirectory::errorString() const { return server_->errorString(); }
quint16 FakeDirectory::port() const { return server_->serverPort(); }
QString FakeDirectory::server() const
{
    return server_->serverAddress().toString() + QLatin1Char(':') + QString::number(port());
}

void FakeDirectory::setMode(Mode mode) { mode_ = mode; }
void FakeDirectory::setStations(const QList<FakeStation> &stations)
{
    stations_ = stations;
    customList_ = false;
}
void FakeDirectory::setListReply(const QByteArray &reply)
{
    listReply_ = reply;
    customList_ = true;
}
void FakeDirectory::refuseLogins(const QString &reason) { refusal_ = reason; }
void FakeDirectory::setTrickle(int bytes, int intervalMs)
{
    trickleBytes_ = std::max(1, bytes);
    trickleMs_ = std::max(1, intervalMs);
}
int FakeDirectory::openConnections() const { return int(connections_.size()); }

QByteArray FakeDirectory::listReply(const QList<FakeStation> &stations)
{
    QByteArray out = "@@@\n" + QByteArray::number(stations.size()) + '\n';
    for (const FakeStation &s : stations)
        out += entry(s.callsign, s.location, s.status, s.time, s.id, s.address);
    return out + "+++\n";
}

void FakeDirectory::accept()
{
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        ++connectionCount_;
        connections_.insert(socket, new Connection);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket](qint64 n) {
            bytesSent_ += n;
            pump(socket);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            delete connections_.take(socket);
            socket->disconnect(this);
            socket->deleteLater();
        });
        // A client that hangs up mid-flood: stop writing.
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] {
            if (Connection *c = connections_.value(socket))
                c->floodLeft = 0;
            socket->abort();
        });
    }
}

void FakeDirectory::readFrom(QTcpSocket *socket)
{
    Connection *c = connections_.value(socket);
    if (!c)
        return;
    const QByteArray bytes = socket->readAll();
    if (c->answered)
        return;
    c->received += bytes;
    const QByteArray &r = c->received;
    if (r.startsWith('s')) {
        c->answered = true;
        ++listRequests_;
        Q_EMIT listRequested();
        answer(socket, customList_ ? listReply_ : listReply(stations_), true);
    } else if (r.startsWith('l') && r.count('\r') >= 3) {
        c->answered = true;
        const qsizetype separator = r.indexOf(kPasswordSeparator);
        const QList<QByteArray> fields = r.mid(separator + kPasswordSeparator.size()).split('\r');
        FakeLogin login;
        login.callsign = QString::fromLatin1(r.mid(1, separator - 1));
        login.password = QString::fromLatin1(fields.value(0));
        const QByteArray status = fields.value(1);
        const qsizetype open = status.indexOf('(');
        login.status = QString::fromLatin1(status.left(open));
        login.time = QString::fromLatin1(status.mid(open + 1, status.indexOf(')') - open - 1));
        login.description = QString::fromLatin1(fields.value(2));
        logins_.append(login);
        Q_EMIT loginReceived(login);
        QString refusal = refusal_;
        if (refusal.isEmpty() && !password_.isEmpty() && login.password != password_)
            refusal = QString::fromLatin1(kWrongPassword);
        answer(socket, refusal.isEmpty() ? QByteArray("OK\r\n") : refusal.toUtf8() + "\r\n", false);
    } else if (r.size() > kMaxRequest || (!r.isEmpty() && !r.startsWith('l'))) {
        c->answered = true;
        socket->disconnectFromHost();
    }
}

void FakeDirectory::answer(QTcpSocket *socket, const QByteArray &reply, bool isList)
{
    Connection *c = connections_.value(socket);
    switch (mode_) {
    case Mode::Normal:
        socket->write(reply);
        socket->disconnectFromHost();
        return;
    case Mode::Oversized: {
        const QByteArray line(kOversizedLine, 'X');
        if (isList)
            socket->write("@@@\n3\n" + line + '\n' + line + '\n' + line + "\n+++\n");
        else
            socket->write(line + "\r\n");
        socket->disconnectFromHost();
        return;
    }
    case Mode::Flood:
        if (isList)
            socket->write("@@@\n100000\n");
        c->floodLeft = kFloodBytes;
        pump(socket);
        return;
    case Mode::Truncated:
        if (isList) {
            const QByteArray whole = listReply(stations_.isEmpty() ? sampleStations() : stations_);
            // Into the last entry's address line, then the close.
            socket->write(whole.left(whole.lastIndexOf("+++") - 4));
        }
        socket->disconnectFromHost();
        return;
    case Mode::Garbage: {
        QRandomGenerator random(kGarbageSeed);
        QByteArray bytes(kGarbageBytes, Qt::Uninitialized);
        for (char &b : bytes)
            b = char(random.bounded(256));
        socket->write(bytes);
        socket->disconnectFromHost();
        return;
    }
    case Mode::Silent:
        return;
    case Mode::Slow:
        c->pending = reply;
        c->trickle = new QTimer(socket);
        connect(c->trickle, &QTimer::timeout, this, [this, socket] {
            Connection *conn = connections_.value(socket);
            if (!conn)
                return;
            socket->write(conn->pending.left(trickleBytes_));
            conn->pending.remove(0, trickleBytes_);
            if (conn->pending.isEmpty()) {
                conn->trickle->stop();
                socket->disconnectFromHost();
            }
        });
        c->trickle->start(trickleMs_);
        return;
    }
}

void FakeDirectory::pump(QTcpSocket *socket)
{
    Connection *c = connections_.value(socket);
    if (!c || c->floodLeft <= 0 || socket->state() != QAbstractSocket::ConnectedState)
        return;
    const QByteArray &chunk = floodChunk();
    while (c->floodLeft > 0 && socket->bytesToWrite() < kFloodBacklog) {
        const qint64 n = std::min<qint64>(c->floodLeft, chunk.size());
        socket->write(chunk.constData(), n);
        c->floodLeft -= n;
    }
    if (c->floodLeft <= 0)
        socket->disconnectFromHost();
}

} // namespace tavrin::test
