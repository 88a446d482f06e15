#pragma once
// A small HTTP/1.1 server for tests, listening on 127.0.0.1 only (a free port chosen by the
// system). Each path gets a configured response; every request is recorded. One request per
// connection: the server answers with "Connection: close" and closes when done, so a
// response without "Content-Length" ends at the close.
//
// Thread: the thread that made it; it needs that thread's event loop to run.

#include "core/ServerAddresses.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>

class QTcpServer;
class QTcpSocket;

namespace tavrin::test {

struct HttpResponse {
    int status = 200;
    QByteArray reason = "OK";
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    bool omitContentLength = false;
    bool stall = false;        // read the request, never answer, keep the connection open
    int closeAfterBytes = -1;  // send the headers and this many body bytes, then close
    int stallAfterBytes = -1;  // send the headers and this many body bytes, then hold still
    int trickleMs = 0;         // send the body one byte every this many ms, then close
};

struct HttpRequest {
    QByteArray method;
    QByteArray path;   // as on the request line, query included
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    // The first header of that name (case-blind), or empty.
    QByteArray header(const QByteArray &name) const;
};

class LocalHttpServer : public QObject {
    Q_OBJECT
public:
    explicit LocalHttpServer(QObject *parent = nullptr);
    ~LocalHttpServer() override;

    bool isListening() const;
    quint16 port() const;
    // "127.0.0.1:PORT", as a statistics host.
    QString hostAndPort() const;
    // "http://127.0.0.1:PORT" + path.
    QString url(const QString &path) const;

    // Paths without a response answer 404.
    void setResponse(const QByteArray &path, const HttpResponse &response);
    void setBody(const QByteArray &path, const QByteArray &body);

    const QList<HttpRequest> &requests() const { return requests_; }
    // Runs the event loop until `count` requests have come in or the time is up.
    bool waitForRequests(int count, int timeoutMs = 5000);
    // Connections currently open (a stalled one stays until the client gives up).
    int openConnections() const { return int(buffers_.size()); }

signals:
    void requestReceived(const tavrin::test::HttpRequest &request);

private:
    void accept();
    void readFrom(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const HttpRequest &request);

    QTcpServer *server_ = nullptr; // child
    QHash<QByteArray, HttpResponse> responses_;
    QHash<QTcpSocket *, QByteArray> buffers_; // received, not yet a whole request
    QList<HttpRequest> requests_;
};

// Addresses on loopback where nothing listens, for tests that must never reach a real server.
ServerAddresses closedLoopbackServers();

} // namespace tavrin::test
