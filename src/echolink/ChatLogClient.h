#pragma once
// A factory decorator that appends every line sent on the chat channel (SendChatText)
// through its handles to a text file, one line each, as it is sent. For support and for
// checking scenario runs; every other call passes straight through.
//
// Thread: user-interface thread. Owns the open file; the wrapped factory is not owned.
// Handles must not outlive the factory.

#include "echolink/EchoLinkClient.h"

#include <QFile>

#include <functional>

namespace tavrin {

// Opens `file` on `path` for appending chat lines without ever waiting: a pipe with
// nothing reading from it fails at once, and a write that would wait for a slow reader
// fails instead of stopping the caller. On failure, `why` says why.
// (The open file may not know its name: keep `path` for messages.)
bool openChatLog(QFile &file, const QString &path, QString *why);

class ChatLogClientFactory final : public EchoLinkClientFactory {
public:
    // Opens `path` for appending; isOpen() says whether that worked (if not, the next line
    // tries again, and lines are passed on whether they could be logged or not).
    ChatLogClientFactory(EchoLinkClientFactory *inner, const QString &path);
    std::unique_ptr<EchoLinkClient> create() override;

    bool isOpen() const { return file_.isOpen(); }
    QString errorString() const { return why_; }

    // Told once when lines stop reaching the file (a full disk, a size limit, a folder that
    // went away), and once when they reach it again.
    void setReporter(std::function<void(const QString &)> report) { report_ = std::move(report); }

private:
    friend class ChatLogClient;
    void append(const QString &line);
    // The file at the path is still the one we write to (it was not removed or replaced).
    bool stillAtPath() const;
    void failed(const QString &why);

    bool open();

    EchoLinkClientFactory *inner_;
    QString path_;
    QFile file_;
    QString why_; // why the last open or write failed
    std::function<void(const QString &)> report_;
    bool failing_ = false;
    bool brokenLine_ = false; // the last line went out only in part
};

} // namespace tavrin
