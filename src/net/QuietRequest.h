#pragma once
// One quiet HTTP request at a time, as the program's background requests need them (the
// statistics report, the version check): no proxy, no cookies kept or sent, no cache, a
// deadline for the whole request (a server that trickles bytes cannot hold it open), and a cap on the answer so that a misbehaving server cannot fill memory.
// finished() carries the whole answer as text, or empty text on any failure (no connection,
// error status, time-out, answer over the cap). Nothing is ever shown to the user.
//
// Thread: user-interface thread. Owns its network access manager and the running reply;
// abandon() and destruction drop a running request without a signal.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace tavrin::net {

class QuietRequest : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultTransferTimeoutMs = 10000;

    QuietRequest(QString userAgent, qint64 maxAnswerBytes, QObject *parent = nullptr);
    ~QuietRequest() override;

    // Time the whole request may take, from its start to the last byte of the answer.
    void setTransferTimeout(int milliseconds) { transferTimeoutMs_ = milliseconds; }
    int transferTimeout() const { return transferTimeoutMs_; }

    // Each starts the request and returns at once, abandoning one still running;
    // finished() follows exactly once.
    void get(const QUrl &url);
    void post(const QUrl &url, const QByteArray &contentType, const QByteArray &body);

    bool isRunning() const { return reply_ != nullptr; }
    void abandon();
    // Why the last request that finished gave no answer, worded for the user; empty when it
    // succeeded.
    const QString &failure() const { return failure_; }

signals:
    void finished(const QString &answer);

private:
    void send(const QUrl &url, const QByteArray *contentType, const QByteArray *body);
    void onReadyRead();
    void onFinished();
    void onDeadline();

    QNetworkAccessManager *manager_ = nullptr; // child
    QNetworkReply *reply_ = nullptr;           // owned while running
    QByteArray answer_;
    qint64 maxAnswerBytes_;
    bool tooLarge_ = false;
    bool timedOut_ = false;
    QString failure_;
    QTimer deadline_;
    int transferTimeoutMs_ = kDefaultTransferTimeoutMs;
    QString userAgent_;
};

} // namespace tavrin::net
