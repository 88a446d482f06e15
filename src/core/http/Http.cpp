#include "core/http/Http.h"

#include "BuildConfig.h"

#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace tavrin {

namespace {

constexpr char kFormContentType[] = "application/x-www-form-urlencoded";

// Neither keeps nor hands out cookies: the report must not be linkable from one start to
// the next.
class NoCookies final : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    QList<QNetworkCookie> cookiesForUrl(const QUrl &) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie> &, const QUrl &) override { return false; }
};

} // namespace

Http::Http(QObject *parent)
    : QObject(parent), manager_(new QNetworkAccessManager(this)), userAgent_(QStringLiteral(TAVRIN_PRODUCT_NAME))
{
    manager_->setCookieJar(new NoCookies(manager_));
    manager_->setProxy(QNetworkProxy::NoProxy);
}

Http::~Http()
{
    if (reply_) {
        // Nobody is left to hear the answer.
        reply_->disconnect(this);
        reply_->abort();
        delete reply_;
        reply_ = nullptr;
    }
}

void Http::PostBegin(const QString &host, const QString &path)
{
    url_ = QUrl(QStringLiteral("http://") + host + path, QUrl::StrictMode);
    body_.clear();
}

void Http::PostAddField(const QString &name, const QString &value)
{
    if (!body_.isEmpty())
        body_ += '&';
    body_ += name.toUtf8().toPercentEncoding();
    body_ += '=';
    body_ += value.toUtf8().toPercentEncoding();
}

void Http::PostSend()
{
    if (reply_) {
        // One request at a time: the earlier one is given up and answers empty.
        QNetworkReply *earlier = reply_;
        earlier->disconnect(this);
        reply_ = nullptr;
        earlier->abort();
        earlier->deleteLater();
        emit finished(QString());
    }
    answer_.clear();
    answerTooLarge_ = false;

    if (!url_.isValid() || url_.host().isEmpty()) {
        // Same as an unreachable server, and as late: callers never see it synchronously.
        QMetaObject::invokeMethod(this, [this] { emit finished(QString()); }, Qt::QueuedConnection);
        return;
    }

    QNetworkRequest request(url_);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray(kFormContentType));
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent_);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setTransferTimeout(transferTimeoutMs_);

    reply_ = manager_->post(request, body_);
    connect(reply_, &QNetworkReply::readyRead, this, &Http::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &Http::onFinished);
}

void Http::onReadyRead()
{
    if (!reply_ || answerTooLarge_ || !reply_->isOpen())
        return;
    answer_ += reply_->read(kMaxAnswerBytes + 1 - answer_.size());
    if (answer_.size() > kMaxAnswerBytes) {
        answerTooLarge_ = true;
        reply_->abort(); // finished() follows from the abort
    }
}

void Http::onFinished()
{
    if (!reply_)
        return;
    if (!answerTooLarge_)
        onReadyRead();
    const bool ok = reply_->error() == QNetworkReply::NoError && !answerTooLarge_;
    reply_->deleteLater();
    reply_ = nullptr;
    finishWith(ok ? QString::fromUtf8(answer_) : QString());
}

void Http::finishWith(const QString &answer)
{
    answer_.clear();
    emit finished(answer);
}

} // namespace tavrin
