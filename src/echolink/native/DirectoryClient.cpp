#include "echolink/native/DirectoryClient.h"

#include <QHash>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <deque>

namespace tavrin {

namespace {

// Every message starts with what went wrong; the detail follows the colon.
constexpr char kNoServer[] = "No directory server configured";
constexpr char kNoCallsign[] = "Directory login needs a callsign";
constexpr char kBadServer[] = "Directory server address invalid: %1";
constexpr char kUnreachable[] = "Directory server unreachable: %1 (%2)";
constexpr char kNoConnection[] = "no connection within %1 s";
constexpr char kNotAnswering[] = "Directory server not answering: %1 (no complete reply within %2 s)";
constexpr char kConnectionLost[] = "Directory connection failed: %1 (%2)";
constexpr char kNoAnswer[] = "Directory server closed the connection without answering: %1";
constexpr char kRefused[] = "Directory login refused: %1";
constexpr char kRefusedNoReason[] = "no reason given";
constexpr char kTooLarge[] = "Directory reply too large: %1 (%2)";
constexpr char kTruncated[] = "Directory reply truncated: %1 (%2)";
constexpr char kGarbled[] = "Directory reply garbled: %1 (%2)";

// Qt keeps at most this much unread; we read everything on each readyRead anyway.
constexpr qint64 kReadBufferBytes = 256 * 1024;
constexpr qint64 kReadChunkBytes = 64 * 1024;

struct ServerAddress {
    QString host;
    quint16 port = 0;
};

std::optional<ServerAddress> parseServer(const QString &text, quint16 defaultPort)
{
    const QString server = text.trimmed();
    if (server.isEmpty())
        return std::nullopt;
    ServerAddress address{server, defaultPort};
    QString portText;
    if (server.startsWith(QLatin1Char('['))) { // "[v6]" or "[v6]:port"
        const qsizetype close = server.indexOf(QLatin1Char(']'));
        if (close < 0)
            return std::nullopt;
        address.host = server.mid(1, close - 1);
        const QString rest = server.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':')))
                return std::nullopt;
            portText = rest.mid(1);
        }
    } else if (server.count(QLatin1Char(':')) == 1) {
        address.host = server.section(QLatin1Char(':'), 0, 0);
        portText = server.section(QLatin1Char(':'), 1);
    }
    if (!portText.isNull()) {
        bool ok = false;
        const uint port = portText.toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return std::nullopt;
        address.port = quint16(port);
    }
    if (address.host.isEmpty())
        return std::nullopt;
    return address;
}

QString seconds(int ms) { return QString::number(ms / 1000.0, 'g', 3); }

} // namespace

struct DirectoryClient::Impl {
    struct Request {
        enum class Kind { Login, List } kind;
        DirectoryStatus status = DirectoryStatus::Online;
    };

    DirectoryClient *q;
    Options options;
    QList<DirectoryStation> stations;
    QHash<QString, qsizetype> byCallsign;
    DirectoryStatus lastStatus = DirectoryStatus::Offline;

    std::deque<Request> queue;
    std::optional<Request> active;
    int firstServer = 0; // the server that answered last is asked first
    int attempt = 0;
    int serverIndex = 0;
    QString serverName;
    QString lastError;

    QTcpSocket *socket = nullptr; // child of q, one per attempt
    int inSocketSignal = 0;       // > 0 while one of the socket's signals runs
    bool connected = false;
    QTimer timer;
    QByteArray loginReply;
    std::optional<directory::StationListReader> reader;

    explicit Impl(DirectoryClient *owner, Options opts) : q(owner), options(std::move(opts))
    {
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, q, [this] { timedOut(); });
    }

    ~Impl() { closeSocket(); }

    void enqueue(Request request)
    {
        for (Request &queued : queue)
            if (queued.kind == request.kind) {
                queued.status = request.status; // the newest login status wins
                return;
            }
        queue.push_back(request);
        startNext();
    }

    // Drops the requests of that kind, queued or under way, without an answer.
    void abandon(Request::Kind kind)
    {
        queue.erase(std::remove_if(queue.begin(), queue.end(), [kind](const Request &r) { return r.kind == kind; }),
                    queue.end());
        if (!active || active->kind != kind)
            return;
        closeSocket();
        reader.reset();
        active.reset();
        startNext();
    }

    void startNext()
    {
        if (active || queue.empty())
            return;
        active = queue.front();
        queue.pop_front();
        attempt = 0;
        lastError.clear();
        if (options.servers.isEmpty())
            return finishFailed(QLatin1String(kNoServer));
        if (active->kind == Request::Kind::Login && options.callsign.trimmed().isEmpty())
            return finishFailed(QLatin1String(kNoCallsign));
        tryServer();
    }

    void tryServer()
    {
        const int count = int(options.servers.size());
        for (; attempt < count; ++attempt) {
            serverIndex = (firstServer + attempt) % count;
            const QString text = options.servers.at(serverIndex);
            const std::optional<ServerAddress> address = parseServer(text, options.defaultPort);
            if (!address) {
                lastError = QString::fromLatin1(kBadServer).arg(text);
                continue;
            }
            serverName = address->host + QLatin1Char(':') + QString::number(address->port);
            openSocket(*address);
            return;
        }
        finishFailed(lastError);
    }

    void openSocket(const ServerAddress &address)
    {
        connected = false;
        loginReply.clear();
        reader.reset();
        if (active->kind == Request::Kind::List)
            reader.emplace();
        socket = new QTcpSocket(q);
        socket->setReadBufferSize(kReadBufferBytes);
        QObject::connect(socket, &QTcpSocket::connected, q, [this] { guarded([this] { onConnected(); }); });
        QObject::connect(socket, &QTcpSocket::readyRead, q, [this] { guarded([this] { onReadyRead(); }); });
        QObject::connect(socket, &QTcpSocket::errorOccurred, q,
                         [this](QAbstractSocket::SocketError error) { guarded([this, error] { onError(error); }); });
        QObject::connect(socket, &QTcpSocket::disconnected, q, [this] { guarded([this] { endOfStream(); }); });
        timer.start(std::max(1, options.timeoutMs));
        socket->connectToHost(address.host, address.port);
    }

    // Runs a socket signal's handler. A receiver of our result may delete us in there: the
    // socket must then outlive us until its signal has returned.
    template <typename Handler>
    void guarded(Handler handler)
    {
        const QPointer<DirectoryClient> alive(q);
        ++inSocketSignal;
        handler();
        if (alive)
            --inSocketSignal;
    }

    void closeSocket()
    {
        timer.stop();
        if (!socket)
            return;
        socket->disconnect(q);
        socket->abort();
        if (inSocketSignal > 0) {
            socket->setParent(nullptr); // not deleted with us while it is still emitting
            socket->deleteLater();
        } else {
            delete socket;
        }
        socket = nullptr;
    }

    void onConnected()
    {
        connected = true;
        if (active->kind == Request::Kind::Login) {
            socket->write(directory::encodeLogin(options.callsign, options.password, active->status,
                                                 QTime::currentTime(), options.description));
        } else {
            socket->write(directory::encodeListRequest());
        }
    }

    void onReadyRead()
    {
        // A receiver of our result may delete us, or the next request may own a new socket.
        const QPointer<DirectoryClient> alive(q);
        QTcpSocket *const current = socket;
        while (alive && socket == current && current->bytesAvailable() > 0)
            consume(current->read(kReadChunkBytes), false);
    }

    // Returns with the attempt decided, or with more wanted.
    void consume(const QByteArray &bytes, bool complete)
    {
        if (active->kind == Request::Kind::Login) {
            loginReply.append(bytes.left(directory::kMaxLoginReply - loginReply.size()));
            const directory::LoginReply reply = directory::readLoginReply(loginReply, complete);
            switch (reply.state) {
            case directory::LoginReply::State::NeedMore:
                if (complete)
                    attemptFailed(QString::fromLatin1(kNoAnswer).arg(serverName));
                return;
            case directory::LoginReply::State::Accepted:
                return finishLoggedIn();
            case directory::LoginReply::State::Refused:
                if (reply.reason.isEmpty() && complete && loginReply.trimmed().isEmpty())
                    return attemptFailed(QString::fromLatin1(kNoAnswer).arg(serverName));
                // A refusal is the account's answer, not the server's fault: no other server.
                return finishFailed(QString::fromLatin1(kRefused)
                                        .arg(reply.reason.isEmpty() ? QLatin1String(kRefusedNoReason) : reply.reason));
            }
            return;
        }
        using State = directory::StationListReader::State;
        State state = reader->feed(bytes);
        if (complete && state == State::NeedMore)
            state = reader->finish();
        if (state == State::Done)
            return finishListed();
        if (state == State::Failed) {
            const char *what = reader->tooLarge() ? kTooLarge
                : reader->error() == directory::StationListReader::Error::Truncated ? kTruncated
                                                                                  : kGarbled;
            attemptFailed(QString::fromLatin1(what).arg(reader->errorDetail(), serverName));
        }
    }

    void onError(QAbstractSocket::SocketError error)
    {
        if (!socket)
            return;
        if (error == QAbstractSocket::RemoteHostClosedError)
            return endOfStream();
        attemptFailed(QString::fromLatin1(connected ? kConnectionLost : kUnreachable).arg(serverName, socket->errorString()));
    }

    void endOfStream()
    {
        if (!socket)
            return;
        if (!connected)
            return attemptFailed(QString::fromLatin1(kUnreachable).arg(serverName, socket->errorString()));
        QByteArray rest;
        while (socket->bytesAvailable() > 0 && rest.size() < kReadBufferBytes)
            rest += socket->read(kReadChunkBytes);
        consume(rest, true);
    }

    void timedOut()
    {
        if (!socket)
            return;
        attemptFailed(connected ? QString::fromLatin1(kNotAnswering).arg(serverName, seconds(options.timeoutMs))
                                : QString::fromLatin1(kUnreachable)
                                      .arg(serverName, QString::fromLatin1(kNoConnection).arg(seconds(options.timeoutMs))));
    }

    void attemptFailed(const QString &message)
    {
        closeSocket();
        reader.reset();
        lastError = message;
        ++attempt;
        tryServer();
    }

    void finishLoggedIn()
    {
        closeSocket();
        firstServer = serverIndex;
        lastStatus = active->status;
        const DirectoryStatus status = active->status;
        finish([status](DirectoryClient *client) { Q_EMIT client->loggedIn(status); });
    }

    void finishListed()
    {
        closeSocket();
        firstServer = serverIndex;
        stations = reader->takeStations();
        reader.reset();
        byCallsign.clear();
        byCallsign.reserve(stations.size());
        for (qsizetype i = 0; i < stations.size(); ++i)
            byCallsign.insert(stations.at(i).callsign, i);
        finish([](DirectoryClient *client) { Q_EMIT client->stationsUpdated(); });
    }

    void finishFailed(const QString &message)
    {
        closeSocket();
        reader.reset();
        finish([message](DirectoryClient *client) { Q_EMIT client->failed(message); });
    }

    // The request is over: report it, then start the next one unless the receiver
    // deleted us or already started it.
    template <typename Report>
    void finish(Report report)
    {
        active.reset();
        QPointer<DirectoryClient> alive(q);
        report(q);
        if (alive)
            alive->d->startNext();
    }
};

DirectoryClient::DirectoryClient(Options options, QObject *parent)
    : QObject(parent), d(std::make_unique<Impl>(this, std::move(options)))
{
}

DirectoryClient::~DirectoryClient() = default;

void DirectoryClient::setPassword(const QString &password) { d->options.password = password; }

void DirectoryClient::login(DirectoryStatus status) { d->enqueue({Impl::Request::Kind::Login, status}); }

void DirectoryClient::refreshStations() { d->enqueue({Impl::Request::Kind::List, DirectoryStatus::Online}); }

void DirectoryClient::abandonStationList() { d->abandon(Impl::Request::Kind::List); }

void DirectoryClient::abandonLogin() { d->abandon(Impl::Request::Kind::Login); }

const QList<DirectoryStation> &DirectoryClient::stations() const { return d->stations; }

std::optional<DirectoryStation> DirectoryClient::find(const QString &callsign) const
{
    const auto it = d->byCallsign.constFind(callsign.trimmed().toUpper());
    if (it == d->byCallsign.constEnd())
        return std::nullopt;
    return d->stations.at(*it);
}

DirectoryStatus DirectoryClient::lastStatus() const { return d->lastStatus; }

} // namespace tavrin
