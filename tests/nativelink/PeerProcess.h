#pragma once
// Drives the echolink-peer station program in its own process: commands on its standard
// input, its events (one per line) collected as they arrive. Used by the native link's tests
// and benchmarks. The program's path comes from TAVRIN_ECHOLINK_PEER (set by ctest), or from
// TAVRIN_ECHOLINK_PEER_PATH when the build defines it.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

namespace tavrin::test {

inline constexpr char kPeerAddress[] = "127.0.0.2";
inline constexpr char kPeerCall[] = "PEER-L";
inline constexpr int kTestPortBase = 15198;

class PeerProcess {
public:
    using Match = std::function<bool(const QString &line)>;

    PeerProcess() = default;
    PeerProcess(const PeerProcess &) = delete;
    PeerProcess &operator=(const PeerProcess &) = delete;
    ~PeerProcess() { stop(); }

    static QString programPath()
    {
        QString path = qEnvironmentVariable("TAVRIN_ECHOLINK_PEER");
#ifdef TAVRIN_ECHOLINK_PEER_PATH
        if (path.isEmpty())
            path = QStringLiteral(TAVRIN_ECHOLINK_PEER_PATH);
#endif
        return path;
    }

    // Starts the peer with these extra options and waits for "ready". Other programs on this
    // machine may hold the test ports for a moment: while the peer can't bind them it is tried
    // again for up to bindWaitMs. False when it could not start or bind (lines() then holds
    // what it said).
    bool start(const QStringList &extra, const QString &call = QString::fromLatin1(kPeerCall),
               const QString &bind = QString::fromLatin1(kPeerAddress), int portBase = kTestPortBase,
               int bindWaitMs = 30000)
    {
        const QDeadlineTimer deadline(bindWaitMs);
        for (;;) {
            if (startOnce(extra, call, bind, portBase))
                return true;
            const bool portBusy = !lines_.isEmpty() && lines_.last().startsWith(QLatin1String("error cannot bind"));
            if (!portBusy || deadline.hasExpired())
                return false;
            stop();
            QEventLoop loop;
            QTimer::singleShot(250, &loop, &QEventLoop::quit);
            loop.exec();
        }
    }

private:
    bool startOnce(const QStringList &extra, const QString &call, const QString &bind, int portBase)
    {
        process_ = std::make_unique<QProcess>();
        process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(process_.get(), &QProcess::readyReadStandardOutput, [this] { collect(); });
        QObject::connect(process_.get(), &QProcess::finished, [this] {
            collect();
            exited_ = true;
            if (waiting_)
                waiting_->quit();
        });
        exited_ = false;
        QStringList args{QStringLiteral("--bind"), bind, QStringLiteral("--port-base"), QString::number(portBase),
                         QStringLiteral("--call"), call};
        process_->start(programPath(), args + extra);
        if (!process_->waitForStarted(5000))
            return false;
        return waitFor(QStringLiteral("ready"), 5000, mark());
    }

public:
    void send(const QString &command) { sendBytes(command.toUtf8()); }
    // A command as bytes, for text in another encoding than UTF-8.
    void sendBytes(const QByteArray &command)
    {
        if (process_)
            process_->write(command + '\n');
    }

    // Ends the peer: "quit", then a kill if it does not go. Returns its exit code (-1: crashed
    // or killed, or never started).
    int stop()
    {
        if (!process_)
            return -1;
        int code = -1;
        if (process_->state() != QProcess::NotRunning) {
            send(QStringLiteral("quit"));
            process_->closeWriteChannel();
            if (!process_->waitForFinished(5000)) {
                process_->kill();
                process_->waitForFinished(2000);
            }
        }
        collect();
        if (process_->exitStatus() == QProcess::NormalExit)
            code = process_->exitCode();
        process_.reset();
        return code;
    }

    const QStringList &lines() const { return lines_; }
    // The number of lines so far: waits from that index on see only what came after.
    int mark() const { return int(lines_.size()); }

    // Runs the event loop until a line from index `from` on matches, or the time is up.
    // Returns the matching line's index, or -1.
    int waitForLine(const Match &match, int timeoutMs, int from)
    {
        const QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            for (int i = from; i < lines_.size(); ++i)
                if (match(lines_.at(i)))
                    return i;
            from = int(lines_.size());
            if (deadline.hasExpired() || !process_ || exited_)
                return -1;
            QEventLoop loop;
            waiting_ = &loop;
            QTimer::singleShot(int(std::max<qint64>(1, deadline.remainingTime())), &loop, &QEventLoop::quit);
            loop.exec();
            waiting_ = nullptr;
        }
    }
    bool waitFor(const QString &exact, int timeoutMs, int from)
    {
        return waitForLine([&](const QString &l) { return l == exact; }, timeoutMs, from) >= 0;
    }
    bool waitForPrefix(const QString &prefix, int timeoutMs, int from)
    {
        return waitForLine([&](const QString &l) { return l.startsWith(prefix); }, timeoutMs, from) >= 0;
    }
    // The last "audio N" count reported, or -1.
    qint64 lastAudioCount() const
    {
        for (auto it = lines_.crbegin(); it != lines_.crend(); ++it)
            if (it->startsWith(QLatin1String("audio ")))
                return it->mid(6).toLongLong();
        return -1;
    }

private:
    void collect()
    {
        if (!process_)
            return;
        buffer_ += process_->readAllStandardOutput();
        bool any = false;
        for (qsizetype nl = buffer_.indexOf('\n'); nl >= 0; nl = buffer_.indexOf('\n')) {
            lines_.append(QString::fromUtf8(buffer_.left(nl)));
            buffer_.remove(0, nl + 1);
            any = true;
        }
        if (any && waiting_)
            waiting_->quit();
    }

    std::unique_ptr<QProcess> process_;
    QByteArray buffer_;
    QStringList lines_;
    QEventLoop *waiting_ = nullptr;
    bool exited_ = false;
};

} // namespace tavrin::test
