#pragma once
// The small HTTP client behind the statistics report: builds one form-encoded POST at a time
// and hands back the server's answer. Asynchronous: PostSend() starts the request and returns
// at once; finished() carries the answer, which is empty on any failure (no connection,
// refused, error status, time-out, answer too large). Nothing is ever shown to the user.
//
// Wire form: "POST" to the path on the host (which may carry ":port"), header
// "Content-Type: application/x-www-form-urlencoded", user agent the product name, body
// "name=value" pairs in the order added, joined by "&", names and values percent-encoded so
// that no value can add or break a field. No proxy, no cookies kept or sent, no cache.
//
// Thread: user-interface thread. Owns its network access manager and the running reply;
// destroying the object aborts a request still running without emitting finished().

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

namespace tavrin {

namespace net {
class QuietRequest;
}

class Http : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultTransferTimeoutMs = 10000;
    // The answer is not used by anyone; a cap keeps a misbehaving server from filling memory.
    static constexpr qint64 kMaxAnswerBytes = 64 * 1024;

    explicit Http(QObject *parent = nullptr);
    ~Http() override;

    // Starts a new form for `host` ("name" or "name:port") and `path`; empties the body.
    void PostBegin(const QString &host, const QString &path);
    // Appends one field; "&" separates it from the previous one.
    void PostAddField(const QString &name, const QString &value);
    // Starts the request and returns at once. finished() follows exactly once, also when the
    // request cannot even start (then on the next pass of the event loop).
    void PostSend();

    // Time the whole transfer may take before it is given up.
    void setTransferTimeout(int milliseconds);
    int transferTimeout() const;

    // True while a sent request has not finished.
    bool isRunning() const;
    const QByteArray &body() const { return body_; }
    const QUrl &url() const { return url_; }

signals:
    void finished(const QString &answer);

private:
    net::QuietRequest *request_ = nullptr; // child
    QUrl url_;
    QByteArray body_;
};

} // namespace tavrin
