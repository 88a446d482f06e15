#include "echolink/ChatLogClient.h"

#include "echolink/ForwardingClient.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavrin {

// Passes everything on; a line that the inner handle took is logged.
class ChatLogClient final : public ForwardingClient {
public:
    ChatLogClient(ChatLogClientFactory *factory, std::unique_ptr<EchoLinkClient> inner)
        : ForwardingClient(std::move(inner)), factory_(factory)
    {
    }

    void SendChatText(const QString &text) override
    {
        // A failed send throws past the log: only lines that went out are written.
        inner().SendChatText(text);
        factory_->append(text);
    }

private:
    ChatLogClientFactory *factory_;
};

namespace {
// Unbuffered: a line is written as it is sent, and a write that fails says so at once
// instead of piling up in memory for a later flush.
constexpr QIODevice::OpenMode kLogMode = QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text
                                        | QIODevice::Unbuffered;

#ifdef Q_OS_UNIX
// Why a write or open failed, where the system's own words would puzzle.
QString errnoText(int error, const QString &path)
{
    struct stat st {};
    if (error == ENXIO && ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode))
        return QStringLiteral("nothing is reading from this pipe");
    if (error == EAGAIN || error == EWOULDBLOCK)
        return QStringLiteral("its reader is not keeping up");
    return qt_error_string(error);
}
#endif
} // namespace

bool openChatLog(QFile &file, const QString &path, QString *why)
{
#ifdef Q_OS_UNIX
    // Non-blocking: opening a pipe nobody reads would wait for a reader, and a write to a
    // full pipe or a stopped terminal would wait for it to drain, with the window frozen.
    // Files and /dev/null never wait, so for them nothing changes.
    int fd = -1;
    do {
        fd = ::open(QFile::encodeName(path).constData(),
                    O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (why)
            *why = errnoText(errno, path);
        return false;
    }
    // The descriptor appends by itself; asked to, Qt would seek, which a pipe refuses.
    if (!file.open(fd, kLogMode & ~QIODevice::Append, QFileDevice::AutoCloseHandle)) {
        if (why)
            *why = file.errorString();
        ::close(fd);
        return false;
    }
    return true;
#else
    file.setFileName(path);
    if (file.open(kLogMode))
        return true;
    if (why)
        *why = file.errorString();
    return false;
#endif
}

ChatLogClientFactory::ChatLogClientFactory(EchoLinkClientFactory *inner, const QString &path)
    : inner_(inner), path_(path)
{
    open();
}

bool ChatLogClientFactory::open()
{
    return openChatLog(file_, path_, &why_);
}

std::unique_ptr<EchoLinkClient> ChatLogClientFactory::create()
{
    if (!inner_)
        throw EchoLinkError("EchoLink client not running");
    std::unique_ptr<EchoLinkClient> handle = inner_->create();
    if (!handle)
        return handle;
    return std::make_unique<ChatLogClient>(this, std::move(handle));
}

bool ChatLogClientFactory::stillAtPath() const
{
#ifdef Q_OS_UNIX
    struct stat atPath {};
    struct stat ours {};
    if (::stat(QFile::encodeName(path_).constData(), &atPath) != 0)
        return false;
    if (::fstat(file_.handle(), &ours) != 0)
        return true;
    return atPath.st_dev == ours.st_dev && atPath.st_ino == ours.st_ino;
#else
    return QFileInfo::exists(path_);
#endif
}

void ChatLogClientFactory::failed(const QString &why)
{
    if (failing_)
        return;
    failing_ = true;
    if (report_)
        report_(QStringLiteral("--chat-log %1: %2; sent lines are not logged until it can be written again")
                    .arg(QDir::toNativeSeparators(path_), why));
}

void ChatLogClientFactory::append(const QString &line)
{
    // A log removed or replaced while we run (by hand, or by a log rotation) is started
    // afresh at its path: lines written into a file nobody can see are lost all the same.
    if (file_.isOpen() && !stillAtPath()) {
        file_.close();
        brokenLine_ = false;
    }
    if (!file_.isOpen() && !open()) {
        failed(why_);
        return;
    }
    // One write a line: it goes out whole, or the failure shows.
    QByteArray data = line.toUtf8();
    data.append('\n');
    if (brokenLine_)
        data.prepend('\n');
    qint64 written = 0;
    while (written < data.size()) {
        // A short write is followed by one that fails with the reason.
        const qint64 n = file_.write(data.constData() + written, data.size() - written);
        if (n <= 0) {
            why_ = file_.errorString();
#ifdef Q_OS_UNIX
            if (why_ == qt_error_string(EAGAIN))
                why_ = errnoText(EAGAIN, path_);
#endif
            break;
        }
        written += n;
    }
    if (written > 0)
        brokenLine_ = data.at(written - 1) != '\n'; // the file now ends inside a line
    if (written != data.size()) {
        failed(why_);
        // Opened again at the next line: a folder or a limit may have changed by then.
        file_.close();
        return;
    }
    if (failing_) {
        failing_ = false;
        if (report_)
            report_(QStringLiteral("--chat-log %1: written again").arg(QDir::toNativeSeparators(path_)));
    }
}

} // namespace tavrin
