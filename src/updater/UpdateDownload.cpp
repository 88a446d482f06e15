#include "updater/UpdateDownload.h"

#include "common/ServerText.h"
#include "settings/FileErrors.h"
#include "updater/InternetErrors.h"
#include "updater/ReleaseKey.h"
#include "updater/ReleaseManifest.h"
#include "updater/UpdaterTexts.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryFile>
#include <QUrl>

#include <algorithm>
#include <cerrno>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tavrin::updater {

namespace {

constexpr qint64 kReadBufferBytes = 2 * 1024 * 1024; // what the network layer may hold for us
constexpr qsizetype kCopyBufferBytes = 256 * 1024;
constexpr const char *kSchemes[] = {"http://", "https://", "ftp://"};

int httpStatus(QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

QString statusText(QNetworkReply *reply)
{
    return QString::fromLatin1(kHttpStatus)
        .arg(httpStatus(reply))
        .arg(shownServerText(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()))
        .trimmed();
}

bool isHttp(QNetworkReply *reply) { return reply->url().scheme().startsWith(QLatin1String("http")); }

} // namespace

UpdateDownload::UpdateDownload(QByteArray releaseKeyBase64, QNetworkAccessManager *network, QObject *parent)
    : QObject(parent), releaseKey_(std::move(releaseKeyBase64)), network_(network)
{
    stallTimer_.setSingleShot(true);
    stallTimer_.setInterval(kDefaultStallTimeoutMs);
    connect(&stallTimer_, &QTimer::timeout, this, &UpdateDownload::stalled);
}

UpdateDownload::~UpdateDownload()
{
    dropReply();
    if (file_)
        file_->remove();
    if (!downloaded_.isEmpty())
        QFile::remove(downloaded_);
}

bool UpdateDownload::acceptedScheme(const QString &url)
{
    const QString lower = url.toLower();
    for (const char *scheme : kSchemes)
        if (lower.startsWith(QLatin1String(scheme)))
            return true;
    return false;
}

QString UpdateDownload::lockPathFor(const QString &target)
{
    const QFileInfo info(target);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    QString key = (folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName();
#ifdef Q_OS_WIN
    key = key.toLower(); // one file, whatever letter case names it
#endif
    const QByteArray digest = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    QString owner;
#ifndef Q_OS_WIN
    // The temporary folder may be shared: another user's lock, left by a crash and not ours to
    // remove, must not keep us from updating.
    owner = QString::number(::getuid()) + QLatin1Char('-');
#endif
    return QDir::tempPath() + QLatin1String("/tavrin-update-") + owner + QString::fromLatin1(digest)
        + QLatin1String(".lock");
}

QString UpdateDownload::temporaryPath() const { return file_ ? file_->fileName() : downloaded_; }

void UpdateDownload::start(const QString &url, const QString &target)
{
    if (inProgress())
        return;
    ++run_;
    url_ = url;
    target_ = target;
    received_ = 0;
    expected_ = 0;
    statusChecked_ = false;
    manifestText_.clear();
    manifest_ = ReleaseManifest();
    hash_.reset();
    phase_ = Phase::Manifest;

    // A build without a key refuses every download: unsigned updates are never installed.
    const ReleaseKey key(releaseKey_);
    if (key.isEmpty())
        return finishLater(false, QString::fromLatin1(kNoReleaseKey));
    if (!key.isValid())
        return finishLater(false, QString::fromLatin1(kBadReleaseKey));
    if (!acceptedScheme(url))
        return finishLater(false, QString::fromLatin1(kBadScheme));
    // One update of a program at a time: a second one would take the first one's download for a
    // leftover and remove it. A lock that cannot be made at all says nothing about others.
    lock_ = std::make_unique<QLockFile>(lockPathFor(target));
    lock_->setStaleLockTime(0); // a slow download is no dead updater; a dead one is seen by its process
    if (!lock_->tryLock(0)) {
        const bool held = lock_->error() == QLockFile::LockFailedError;
        lock_.reset();
        if (held)
            return finishLater(false, QString::fromLatin1(kAlreadyUpdating).arg(QDir::toNativeSeparators(target)));
    }

    // The small signed manifest comes first: a release that is not newer, or not signed, is
    // refused before anything is written beside the program.
    reply_ = get(url_ + QLatin1String(kManifestSuffix));
    connect(reply_, &QNetworkReply::readyRead, this, &UpdateDownload::readManifest);
    connect(reply_, &QNetworkReply::finished, this, &UpdateDownload::manifestFinished);
}

void UpdateDownload::readManifest()
{
    if (phase_ != Phase::Manifest || !reply_)
        return;
    // No restart of the stall timer here: a manifest is a few hundred bytes, and one sent a
    // byte now and then would otherwise hold the update at "Downloading" for hours.
    manifestText_ += reply_->read(ReleaseManifest::kMaxBytes + 1 - manifestText_.size());
    if (manifestText_.size() > ReleaseManifest::kMaxBytes)
        fail(QString::fromLatin1(kBadManifest));
}

void UpdateDownload::manifestFinished()
{
    if (phase_ != Phase::Manifest || !reply_)
        return;
    if (reply_->error() != QNetworkReply::NoError)
        return fail(QString::fromLatin1(kNoManifest).arg(transferError(reply_)));
    readManifest();
    if (phase_ != Phase::Manifest)
        return;
    if (isHttp(reply_) && (httpStatus(reply_) < 200 || httpStatus(reply_) > 299))
        return fail(QString::fromLatin1(kNoManifest).arg(statusText(reply_)));
    dropReply();
    QString why;
    if (!ReleaseManifest::read(manifestText_, ReleaseKey(releaseKey_), &manifest_, &why))
        return fail(why);
    if (!isNewerVersion(manifest_.version, runningVersion_))
        return fail(QString::fromLatin1(kNotNewer).arg(manifest_.version, runningVersion_));
    expected_ = manifest_.size;

    const QFileInfo info(target_);
    removeLeftovers(info);
    file_ = std::make_unique<QTemporaryFile>(info.absolutePath() + QLatin1String("/.") + info.fileName()
                                             + QLatin1String(kTempPattern));
    if (!file_->open()) {
        const QString error = writeErrorText(*file_, info.absolutePath());
        file_.reset();
        return fail(QString::fromLatin1(kTempFile).arg(info.absolutePath(), error));
    }
    // Give the file its name now (Qt may create it unnamed): the installer renames it by path.
    (void)file_->fileName();
    copyBuffer_.resize(kCopyBufferBytes);

    phase_ = Phase::Program;
    reply_ = get(url_);
    connect(reply_, &QNetworkReply::readyRead, this, &UpdateDownload::readProgram);
    connect(reply_, &QNetworkReply::finished, this, &UpdateDownload::programFinished);
}

void UpdateDownload::removeLeftovers(const QFileInfo &target)
{
    // A download cut short by a crash or a power cut leaves its temporary file behind; clear
    // them before the next one so they cannot pile up beside the program.
    const QDir dir(target.absolutePath());
    const QString pattern = QLatin1String(".") + target.fileName()
                            + QString::fromLatin1(kTempPattern).replace(QLatin1Char('X'), QLatin1Char('?'));
    for (const QString &name : dir.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(dir.filePath(name));
    ProgramInstaller::removeAsideFiles(target.absoluteFilePath());
}

QNetworkReply *UpdateDownload::get(const QString &url)
{
    QNetworkRequest request{QUrl(url)};
    // The announced size must be the size of the file itself, not of a compressed body.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // The name the download server has always seen the updater by (its logs and any rule
    // on them rely on it), rather than the toolkit's own.
    request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromLatin1(kUserAgent));
    QNetworkReply *reply = network_->get(request);
    reply->setReadBufferSize(kReadBufferBytes);
    connect(reply, &QNetworkReply::metaDataChanged, &stallTimer_, qOverload<>(&QTimer::start));
    stallTimer_.start();
    return reply;
}

void UpdateDownload::readProgram()
{
    if (phase_ != Phase::Program || !reply_)
        return;
    stallTimer_.start();
    if (!statusChecked_) {
        statusChecked_ = true;
        if (isHttp(reply_) && (httpStatus(reply_) < 200 || httpStatus(reply_) > 299))
            return fail(statusText(reply_));
        const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > manifest_.size)
            return fail(QString::fromLatin1(kTooLarge).arg(manifest_.size));
    }
    for (;;) {
        // Never more than one byte past the signed size: that byte already tells "too large".
        const qint64 room = manifest_.size - received_;
        const qint64 n = reply_->read(copyBuffer_.data(), std::min<qint64>(copyBuffer_.size(), room + 1));
        if (n <= 0)
            break;
        if (n > room)
            return fail(QString::fromLatin1(kTooLarge).arg(manifest_.size));
        if (file_->write(copyBuffer_.constData(), n) != n)
            return failWriting();
        hash_.add(copyBuffer_.constData(), n);
        const qint64 before = received_;
        received_ += n;
        for (qint64 block = (before / kBlockSize + 1) * kBlockSize; block <= received_; block += kBlockSize) {
            emit blockReceived(expected_, block);
            if (phase_ != Phase::Program)
                return; // cancelled from a progress handler
        }
    }
}

void UpdateDownload::programFinished()
{
    if (phase_ != Phase::Program || !reply_)
        return;
    if (reply_->error() == QNetworkReply::NoError)
        readProgram();
    if (phase_ != Phase::Program)
        return;
    if (reply_->error() != QNetworkReply::NoError)
        return fail(transferError(reply_));
    if (!statusChecked_) { // an empty body: check the answer all the same
        readProgram();
        if (phase_ != Phase::Program)
            return;
    }
    if (received_ != manifest_.size)
        return fail(QString::fromLatin1(kShortFile).arg(received_).arg(manifest_.size));
    if (received_ % kBlockSize != 0)
        emit blockReceived(expected_, received_);
    if (phase_ != Phase::Program)
        return;

    if (!file_->flush())
        return failWriting();
    // The new program is on disk before it takes the old one's name. Some file systems (a
    // network share, one that compresses) say only here that the data did not fit.
#ifdef Q_OS_WIN
    const bool synced = ::_commit(file_->handle()) == 0;
#else
    const bool synced = ::fsync(file_->handle()) == 0 || errno == EINVAL; // EINVAL: cannot sync at all
#endif
    if (!synced) {
        const QString folder = QFileInfo(target_).absolutePath();
        return fail(QString::fromLatin1(kTempFile).arg(folder, writeErrorText(qt_error_string(errno), folder)));
    }
    // QTemporaryFile holds its handle until it is destroyed, and Windows renames no open file:
    // from here on the download is known by its name alone.
    downloaded_ = file_->fileName();
    file_->setAutoRemove(false);
    file_.reset();
    copyBuffer_ = QByteArray();
    dropReply();
    if (hash_.result() != manifest_.sha512)
        return fail(QString::fromLatin1(kNotTheRelease));

    phase_ = Phase::Installing;
    const InstallResult installed = installer_.install(downloaded_, target_);
    if (!installed.ok)
        return fail(installed.error);
    // Success is only what really sits at the target: a rename that silently went elsewhere
    // (or a file system that lost it) must not be reported as an update.
    if (fileDigest(target_) != manifest_.sha512) {
        QString reason = QString::fromLatin1(kNotReplaced).arg(QDir::toNativeSeparators(target_));
        // Whatever sits there now is not a program we trust: the previous one goes back.
        const InstallResult back = installer_.restorePrevious(target_);
        if (!back.ok)
            reason += QLatin1String("; ") + back.error;
        return fail(reason);
    }
    downloaded_.clear(); // it is the installed program now
    lock_.reset();
    phase_ = Phase::Idle;
    emit finished(true, QString());
}

QByteArray UpdateDownload::fileDigest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    Sha512 hash;
    QByteArray buffer(kCopyBufferBytes, Qt::Uninitialized);
    qint64 n = 0;
    while ((n = file.read(buffer.data(), buffer.size())) > 0)
        hash.add(buffer.constData(), n);
    return n < 0 ? QByteArray() : hash.result();
}

QString UpdateDownload::transferError(QNetworkReply *reply) const
{
    const int status = isHttp(reply) ? httpStatus(reply) : 0;
    if (status >= 400)
        return statusText(reply);
    // A redirection that was refused or went nowhere: its reason, not the "302 Found" that
    // came before it.
    if (reply->error() == QNetworkReply::TooManyRedirectsError)
        return QString::fromLatin1(kRedirectLoop);
    if (status >= 300
        && (reply->error() == QNetworkReply::ProtocolUnknownError
            || reply->error() == QNetworkReply::InsecureRedirectError)) {
        return QString::fromLatin1(kRedirectRefused).arg(shownServerText(QString::fromLatin1(reply->rawHeader("Location"))));
    }
    if (const int number = internetErrorNumber(reply->error()))
        return InternetErrorText(number);
    return reply->errorString();
}

void UpdateDownload::stalled()
{
    if (phase_ != Phase::Program && phase_ != Phase::Manifest)
        return;
    const QString seconds = QString::number(stallTimer_.interval() / 1000.0);
    const char *why = phase_ == Phase::Manifest && !manifestText_.isEmpty() ? kManifestTooSlow : kStalled;
    fail(InternetErrorText(12002) + QLatin1String(": ") + QString::fromLatin1(why).arg(seconds));
}

void UpdateDownload::cancel()
{
    if (inProgress())
        fail(QString::fromLatin1(kCancelled));
}

void UpdateDownload::dropReply()
{
    if (!reply_)
        return;
    QNetworkReply *reply = reply_;
    reply_ = nullptr;
    reply->disconnect(this);
    reply->disconnect(&stallTimer_);
    // A reply that already failed (an HTTP error status) must not be aborted a second time;
    // deleting it drops its connection all the same.
    if (reply->error() == QNetworkReply::NoError && !reply->isFinished())
        reply->abort();
    reply->deleteLater();
}

void UpdateDownload::failWriting()
{
    const QString folder = QFileInfo(target_).absolutePath();
    fail(QString::fromLatin1(kTempFile).arg(folder, writeErrorText(*file_, folder)));
}

void UpdateDownload::fail(const QString &reason)
{
    stallTimer_.stop();
    dropReply();
    if (file_) {
        file_->remove();
        file_.reset();
    }
    if (!downloaded_.isEmpty()) {
        QFile::remove(downloaded_);
        downloaded_.clear();
    }
    copyBuffer_ = QByteArray();
    lock_.reset();
    phase_ = Phase::Idle;
    emit finished(false, reason);
}

void UpdateDownload::finishLater(bool ok, const QString &reason)
{
    // Keep the promise that finished() never comes from inside start().
    QMetaObject::invokeMethod(
        this,
        [this, ok, reason, run = run_] {
            if (run != run_ || phase_ == Phase::Idle)
                return; // cancelled meanwhile, and finished() already told
            lock_.reset();
            phase_ = Phase::Idle;
            emit finished(ok, reason);
        },
        Qt::QueuedConnection);
}

} // namespace tavrin::updater
