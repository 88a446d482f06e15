#include "support/LocalHttpServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <memory>

namespace tavrin::test {

namespace {

constexpr QByteArrayView kHeaderEnd = "\r\n\r\n";
// Loopback port 1 (tcpmux) is closed on every machine we run on.
constexpr char kClosedHost[] = "127.0.0.1:1";

} // namespace

QByteArray HttpRequest::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

LocalHttpServer::LocalHttpServer(QObject *parent) : QObject(parent), server_(new QTcpServer(this))
{
    connect(server_, &QTcpServer::newConnection, this, &LocalHttpServer::accept);
    server_->listen(QHostAddress::LocalHost, 0);
}

LocalHttpServer::~LocalHttpServer()
{
    // Sockets are children of the server; stop their signals reaching a half-gone object.
    for (QTcpSocket *socket : buffers_.keys())
        socket->disconnect(this);
}

bool LocalHttpServer::isListening() const { return server_->isListening(); }
quint16 LocalHttpServer::port() const { return server_->serverPort(); }
QString LocalHttpServer::hostAndPort() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }
QString LocalHttpServer::url(const QString &path) const { return QStringLiteral("http://") + hostAndPort() + path; }

void LocalHttpServer::setResponse(const QByteArray &path, const HttpResponse &response)
{
    responses_.insert(path, response);
}

void LocalHttpServer::setBody(const QByteArray &path, const QByteArray &body)
{
    HttpResponse response;
    response.body = body;
    setResponse(path, response);
}

bool LocalHttpServer::waitForRequests(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return requests_.size() >= count; }, timeoutMs);
}

void LocalHttpServer::accept()
{
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        buffers_.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            buffers_.remove(socket);
            socket->deleteLater();
        });
    }
}

void LocalHttpServer::readFrom(QTcpSocket *socket)
{
    auto it = buffers_.find(socket);
    if (it == buffers_.end())
        return;
    QByteArray &buffer = it.value();
    buffer += socket->readAll();

    const qsizetype headerEnd = buffer.indexOf(kHeaderEnd);
    if (headerEnd < 0)
        return;
    HttpRequest request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    bool known = false;
    const qsizetype length = request.header("Content-Length").toLongLong(&known);
    const qsizetype bodyStart = headerEnd + kHeaderEnd.size();
    if (known && buffer.size() - bodyStart < length)
        return; // body still coming
    request.body = buffer.mid(bodyStart, known ? length : 0);
    buffer.clear();

    requests_.append(request);
    emit requestReceived(request);
    answer(socket, request);
}

void LocalHttpServer::answer(QTcpSocket *socket, const HttpRequest &request)
{
    QByteArray path = request.path;
    if (const qsizetype query = path.indexOf('?'); query >= 0)
        path.truncate(query);
    HttpResponse response;
    if (const auto found = responses_.constFind(path); found != responses_.constEnd()) {
        response = found.value();
    } else {
        response.status = 404;
        response.reason = "Not Found";
        response.body = "not found";
    }
    if (response.stall)
        return;

    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + response.reason + "\r\n";
    for (const auto &[name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    if (!response.omitContentLength)
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);

    if (response.stallAfterBytes >= 0) {
        socket->write(response.body.left(response.stallAfterBytes));
        return;
    }
    if (response.trickleMs > 0) {
        // A server that never lets the connection fall idle, yet never finishes.
        auto *timer = new QTimer(socket);
        auto sent = std::make_shared<qsizetype>(0);
        connect(timer, &QTimer::timeout, socket, [socket, timer, sent, body = response.body] {
            if (*sent < body.size()) {
                socket->write(body.mid((*sent)++, 1));
                return;
            }
            timer->stop();
            socket->disconnectFromHost();
        });
        timer->start(response.trickleMs);
        return;
    }
    if (response.closeAfterBytes >= 0) {
        socket->write(response.body.left(response.closeAfterBytes));
        socket->disconnectFromHost(); // flushes what was written, then closes
        return;
    }
    socket->write(response.body);
    socket->disconnectFromHost();
}

ServerAddresses closedLoopbackServers()
{
    const QString base = QStringLiteral("http://") + QString::fromLatin1(kClosedHost);
    ServerAddresses a;
    a.statisticsHost = QString::fromLatin1(kClosedHost);
    a.versionFileUrl = base + QStringLiteral("/VersionTV.txt");
    a.downloadUrl = base + QStringLiteral("/Tavrin.exe");
    a.webUrl = base + QStringLiteral("/");
    a.mailAddress = QStringLiteral("tavrin@127.0.0.1");
    return a;
}

} // namespace tavrin::test
