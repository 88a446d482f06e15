#include "core/http/Http.h"

#include "net/QuietRequest.h"

#include "BuildConfig.h"

namespace tavrin {

namespace {

constexpr char kFormContentType[] = "application/x-www-form-urlencoded";

} // namespace

Http::Http(QObject *parent)
    : QObject(parent),
      request_(new net::QuietRequest(QStringLiteral(TAVRIN_PRODUCT_NAME), kMaxAnswerBytes, this))
{
    request_->setTransferTimeout(kDefaultTransferTimeoutMs);
    connect(request_, &net::QuietRequest::finished, this, &Http::finished);
}

// Destroying the child request abandons a running one: nobody is left to hear the answer.
Http::~Http() = default;

void Http::setTransferTimeout(int milliseconds) { request_->setTransferTimeout(milliseconds); }
int Http::transferTimeout() const { return request_->transferTimeout(); }
bool Http::isRunning() const { return request_->isRunning(); }

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
    if (request_->isRunning()) {
        // One request at a time: the earlier one is given up and answers empty.
        request_->abandon();
        emit finished(QString());
    }
    if (!url_.isValid() || url_.host().isEmpty()) {
        // Same as an unreachable server, and as late: callers never see it synchronously.
        QMetaObject::invokeMethod(this, [this] { emit finished(QString()); }, Qt::QueuedConnection);
        return;
    }
    request_->post(url_, QByteArray(kFormContentType), body_);
}

} // namespace tavrin
