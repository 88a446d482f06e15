#include "echolink/ChatLogClient.h"

#include "echolink/ForwardingClient.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
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
constexpr QIODevice::OpenMode kLogMode = QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text
                                        | QIODevice::Unbuffered;
} // namespace

ChatLogClientFactory::ChatLogClientFactory(EchoLinkClientFactory *inner, const QString &path)
    : inner_(inner), file_(path)
{
    // Unbuffered: a line is written as it is sent, and a write that fails says so at once
    // instead of piling up in memory for a later flush.
    file_.open(kLogMode);
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
    if (::stat(QFile::encodeName(file_.fileName()).constData(), &atPath) != 0)
        return false;
    if (::fstat(file_.handle(), &ours) != 0)
        return true;
    return atPath.st_dev == ours.st_dev && atPath.st_ino == ours.st_ino;
#else
    return QFileInfo::exists(file_.fileName());
#endif
}

void ChatLogClientFactory::failed(const QString &why)
{
    if (failing_)
        return;
    failing_ = true;
    if (report_)
        report_(QStringLiteral("--chat-log %1: %2; sent lines are not logged until it can be written again")
                    .arg(QDir::toNativeSeparators(file_.fileName()), why));
}

void ChatLogClientFactory::append(const QString &line)
{
    // A log removed or replaced while we run (by hand, or by a log rotation) is started
    // afresh at its path: lines written into a file nobody can see are lost all the same.
    if (file_.isOpen() && !stillAtPath()) {
        file_.close();
        brokenLine_ = false;
    }
    if (!file_.isOpen() && !file_.open(kLogMode)) {
        failed(file_.errorString());
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
        if (n <= 0)
            break;
        written += n;
    }
    if (written > 0)
        brokenLine_ = data.at(written - 1) != '\n'; // the file now ends inside a line
    if (written != data.size()) {
        failed(file_.errorString());
        // Opened again at the next line: a folder or a limit may have changed by then.
        file_.close();
        return;
    }
    if (failing_) {
        failing_ = false;
        if (report_)
            report_(QStringLiteral("--chat-log %1: written again").arg(QDir::toNativeSeparators(file_.fileName())));
    }
}

} // namespace tavrin
