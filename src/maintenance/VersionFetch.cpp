#include "maintenance/VersionFetch.h"

#include "net/QuietRequest.h"

namespace tavrin::maintenance {

VersionFetch::VersionFetch(QString userAgent, QObject *parent)
    : QObject(parent), request_(new net::QuietRequest(std::move(userAgent), kMaxBodyBytes, this))
{
    request_->setTransferTimeout(kDefaultTransferTimeoutMs);
    connect(request_, &net::QuietRequest::finished, this, &VersionFetch::finished);
}

VersionFetch::~VersionFetch()
{
    abandon();
}

void VersionFetch::setTransferTimeout(int milliseconds) { request_->setTransferTimeout(milliseconds); }
int VersionFetch::transferTimeout() const { return request_->transferTimeout(); }
bool VersionFetch::isRunning() const { return request_->isRunning() || pendingFailure_; }

QString VersionFetch::failure() const
{
    return badAddress_ ? QStringLiteral("the address of the version file is not usable") : request_->failure();
}

void VersionFetch::abandon()
{
    ++generation_;
    pendingFailure_ = false;
    request_->abandon();
}

void VersionFetch::start(const QUrl &url)
{
    abandon();
    const QString scheme = url.scheme().toLower();
    badAddress_ = !url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"));
    if (badAddress_) {
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
    request_->get(url);
}

} // namespace tavrin::maintenance
