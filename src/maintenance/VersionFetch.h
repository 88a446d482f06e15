#pragma once
// Fetches the version file: one asynchronous GET at a time. finished() carries the whole
// body as text, or empty text on any failure (no connection, error status, transfer time-out,
// a body over 64 KiB, an unusable address). Nothing is ever shown to the user.
//
// Thread: user-interface thread. Owns its network access manager and the running reply;
// destroying the object or starting a new fetch abandons a running one without a signal.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

namespace tavrin::net {
class QuietRequest;
}

namespace tavrin::maintenance {

class VersionFetch : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultTransferTimeoutMs = 10000;
    // A version file is a few bytes; anything bigger is not one.
    static constexpr qint64 kMaxBodyBytes = 64 * 1024;

    explicit VersionFetch(QString userAgent, QObject *parent = nullptr);
    ~VersionFetch() override;

    void setTransferTimeout(int milliseconds);
    int transferTimeout() const;

    // Starts the fetch and returns at once; finished() follows exactly once, also when the
    // request cannot even start (then on a later pass of the event loop).
    void start(const QUrl &url);
    bool isRunning() const;
    // Why the last fetch that finished brought no version file, for the user; empty when it
    // arrived (an empty file included).
    QString failure() const;

signals:
    void finished(const QString &body);

private:
    void abandon();

    net::QuietRequest *request_ = nullptr; // child
    bool pendingFailure_ = false;
    bool badAddress_ = false; // the last fetch had no usable address
    quint64 generation_ = 0; // tells a queued failure of an abandoned fetch from the current one
};

} // namespace tavrin::maintenance
