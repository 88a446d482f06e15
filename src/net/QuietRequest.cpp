#include "net/QuietRequest.h"

#include "common/ServerText.h"

#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace tavrin::net {

namespace {

// Neither keeps nor hands out cookies: one start of the program must not be linkable to the
// next.
class NoCookies final : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    QList<QNetworkCookie> cookiesForUrl(const QUrl &) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie> &, const QUrl &) override { return false; }
};

} // namespace

QuietRequest::QuietRequest(QString userAgent, qint64 maxAnswerBytes, QObject *parent)
    : QObject(parent), manager_(new QNetworkAccessManager(this)), maxAnswerBytes_(maxAnswerBytes),
      userAgent_(std::move(userAgent))
{
    manager_->setCookieJar(new NoCookies(manager_));
    manager_->setProxy(QNetworkProxy::NoProxy);
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, &QuietRequest::onDeadline);
}

QuietRequest::~QuietRequest() { abandon(); }

void QuietRequest::abandon()
{
    deadline_.stop();
    if (!reply_)
        return;
    QNetworkReply *reply = reply_;
    reply_ = nullptr;
    reply->disconnect(this);
    reply->abort();
    delete reply;
}

void QuietRequest::get(const QUrl &url) { send(url, nullptr, nullptr); }

void QuietRequest::post(const QUrl &url, const QByteArray &contentType, const QByteArray &body)
{
    send(url, &contentType, &body);
}

void QuietRequest::send(const QUrl &url, const QByteArray *contentType, const QByteArray *body)
{
    abandon();
    answer_.clear();
    tooLarge_ = false;
    timedOut_ = false;

    QNetworkRequest request(url);
    if (contentType)
        request.setHeader(QNetworkRequest::ContentTypeHeader, *contentType);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent_);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    // Not QNetworkRequest's transfer time-out: that one only fires after a silence, and a
    // server sending a byte now and then would keep the request open for ever.
    deadline_.start(transferTimeoutMs_);

    reply_ = body ? manager_->post(request, *body) : manager_->get(request);
    connect(reply_, &QNetworkReply::readyRead, this, &QuietRequest::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &QuietRequest::onFinished);
}

void QuietRequest::onReadyRead()
{
    if (!reply_ || tooLarge_ || !reply_->isOpen())
        return;
    // Never hold more than the cap plus one byte: that byte is what tells "too large".
    answer_ += reply_->read(maxAnswerBytes_ + 1 - answer_.size());
    if (answer_.size() > maxAnswerBytes_) {
        tooLarge_ = true;
        reply_->abort(); // finished() follows from the abort
    }
}

void QuietRequest::onDeadline()
{
    timedOut_ = true;
    if (reply_)
        reply_->abort(); // finished() follows from the abort, with an error: empty answer
}

void QuietRequest::onFinished()
{
    if (!reply_)
        return;
    deadline_.stop();
    if (!tooLarge_)
        onReadyRead();
    const bool ok = reply_->error() == QNetworkReply::NoError && !tooLarge_;
    if (ok)
        failure_.clear();
    else if (tooLarge_)
        failure_ = QStringLiteral("the server's answer is too large");
    else if (timedOut_)
        failure_ = QStringLiteral("no answer within %1 s").arg((transferTimeoutMs_ + 999) / 1000);
    else if (const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); status != 0)
        failure_ = QStringLiteral("the server answered %1 %2")
                       .arg(status)
                       .arg(shownServerText(reply_->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()))
                       .trimmed();
    else
        failure_ = shownServerText(reply_->errorString()); // may quote a reason phrase too
    reply_->deleteLater();
    reply_ = nullptr;
    const QString answer = ok ? QString::fromUtf8(answer_) : QString();
    answer_.clear();
    emit finished(answer);
}

} // namespace tavrin::net
