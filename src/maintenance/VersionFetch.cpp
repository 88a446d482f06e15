#include "maintenance/VersionFetch.h"

#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace tavrin::maintenance {

namespace {

class NoCookies final : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    QList<QNetworkCookie> cookiesForUrl(const QUrl &) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie> &, const QUrl &) override { return false; }
};

} // namespace

VersionFetch::VersionFetch(QString userAgent, QObject *parent)
    : QObject(parent), manager_(new QNetworkAccessManager(this)), userAgent_(std::move(userAgent))
{
    manager_->setCookieJar(new NoCookies(manager_));
    manager_->setProxy(QNetworkProxy::NoProxy);
}

VersionFetch::~VersionFetch()
{
    abandon();
}

void VersionFetch::abandon()
{
    ++generation_;
    pendingFailure_ = false;
    if (!reply_)
        return;
    QNetworkReply *reply = reply_;
    reply_ = nullptr;
    reply->disconnect(this);
    reply->abort();
    delete reply;
}

void VersionFetch::start(const QUrl &url)
{
    abandon();
    body_.clear();
    tooLarge_ = false;

    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        // Same as an unreachable server, and as late: callers never see it synchronously.
        pendingFailure_ = true;
        const quint64 generation = generation_;
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation != generation_)
                    return;
                pendingFailure_ = false;
                emit finished(QString());
            },
            Qt::QueuedConnection);
        return;
    }

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent_);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setTransferTimeout(transferTimeoutMs_);

    reply_ = manager_->get(request);
    connect(reply_, &QNetworkReply::readyRead, this, &VersionFetch::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &VersionFetch::onFinished);
}

void VersionFetch::onReadyRead()
{
    if (!reply_ || tooLarge_ || !reply_->isOpen())
        return;
    // Never hold more than the cap plus one byte: that byte is what tells "too large".
    body_ += reply_->read(kMaxBodyBytes + 1 - body_.size());
    if (body_.size() > kMaxBodyBytes) {
        tooLarge_ = true;
        reply_->abort(); // finished() follows from the abort
    }
}

void VersionFetch::onFinished()
{
    if (!reply_)
        return;
    if (!tooLarge_)
        onReadyRead();
    const bool ok = reply_->error() == QNetworkReply::NoError && !tooLarge_;
    reply_->deleteLater();
    reply_ = nullptr;
    const QString body = ok ? QString::fromUtf8(body_) : QString();
    body_.clear();
    emit finished(body);
}

} // namespace tavrin::maintenance
