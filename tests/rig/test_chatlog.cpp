// --chat-log: the factory decorator and the option that turns it on.
#include "core/CoreTestKit.h"

#include "app/CommandLine.h"
#include "echolink/ChatLogClient.h"

#include <QSignalSpy>

#include <csignal>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace tavrin;
using namespace tavrin::test;

class ChatLogTest : public QObject {
    Q_OBJECT
private slots:
    void linesAreAppendedAsTheyAreSent()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("chat.log"));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("earlier run\n");
        }
        FakeEchoLinkBackend backend;
        const std::unique_ptr<EchoLinkClientFactory> inner = backend.factory();
        ChatLogClientFactory factory(inner.get(), path);
        QVERIFY(factory.isOpen());
        std::unique_ptr<EchoLinkClient> a = factory.create();
        std::unique_ptr<EchoLinkClient> b = factory.create();
        a->SendChatText(QStringLiteral("FR?"));
        // Readable at once, before the program ends.
        QCOMPARE(readFile(path), QStringLiteral("earlier run\nFR?\n"));
        b->SendChatText(QStringLiteral("FN14.2300 MHz  -  09:05:07"));
        a->SetTransmit(true); // not a chat line
        // A line the client refused was never sent.
        backend.failing.insert(QStringLiteral("SendChatText"));
        QVERIFY_THROWS_EXCEPTION(EchoLinkError, a->SendChatText(QStringLiteral("lost")));
        QCOMPARE(readFile(path), QStringLiteral("earlier run\nFR?\nFN14.2300 MHz  -  09:05:07\n"));
        QCOMPARE(backend.sent().mid(0, 2), (QStringList{QStringLiteral("FR?"), QStringLiteral("FN14.2300 MHz  -  09:05:07")}));

        // Events still reach the handle.
        QSignalSpy chat(a.get(), &EchoLinkClient::ChatTextReceived);
        backend.raiseChat(QStringLiteral("XX9XYZ-L>hello"));
        QCOMPARE(chat.size(), 1);
    }

    void aLogThatStopsWorkingIsSaidOnceAndPicksUpAgain()
    {
        FakeEchoLinkBackend backend;
        const std::unique_ptr<EchoLinkClientFactory> inner = backend.factory();
        QStringList said;
        const auto report = [&said](const QString &text) { said << text; };
#ifdef Q_OS_UNIX
        {
            // A full disk: every line still goes out, the log's failure is said once.
            ChatLogClientFactory full(inner.get(), QStringLiteral("/dev/full"));
            full.setReporter(report);
            std::unique_ptr<EchoLinkClient> a = full.create();
            a->SendChatText(QStringLiteral("FR?"));
            a->SendChatText(QStringLiteral("FR?"));
            QCOMPARE(said.size(), 1);
            QVERIFY2(said.at(0).contains(QStringLiteral("/dev/full")), qPrintable(said.at(0)));
            QCOMPARE(backend.sent().size(), 2);
            said.clear();
        }
        {
            // A size limit met inside a line: the next line that gets through starts on
            // a line of its own.
            QTemporaryDir dir;
            const QString path = dir.filePath(QStringLiteral("limited.log"));
            ChatLogClientFactory limited(inner.get(), path);
            limited.setReporter(report);
            std::unique_ptr<EchoLinkClient> a = limited.create();
            const auto previous = std::signal(SIGXFSZ, SIG_IGN);
            rlimit was {};
            QVERIFY(::getrlimit(RLIMIT_FSIZE, &was) == 0);
            rlimit small = was;
            small.rlim_cur = 2;
            QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
            a->SendChatText(QStringLiteral("FR?"));
            ::setrlimit(RLIMIT_FSIZE, &was);
            std::signal(SIGXFSZ, previous);
            a->SendChatText(QStringLiteral("FR?"));
            QCOMPARE(readFile(path), QStringLiteral("FR\nFR?\n"));
            QCOMPARE(said.size(), 2);
            said.clear();
        }
        {
            // A pipe nobody reads, then a reader that does not keep up: neither is waited
            // on (the window would freeze), each is said once, and every line still goes out.
            QTemporaryDir dir;
            const QString path = dir.filePath(QStringLiteral("chat.fifo"));
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
            const qsizetype before = backend.sent().size();
            ChatLogClientFactory pipe(inner.get(), path);
            QVERIFY(!pipe.isOpen());
            pipe.setReporter(report);
            std::unique_ptr<EchoLinkClient> a = pipe.create();
            a->SendChatText(QStringLiteral("FR?"));
            QCOMPARE(said.size(), 1);
            QVERIFY2(said.at(0).contains(QStringLiteral("nothing is reading")), qPrintable(said.at(0)));
            const int reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
            QVERIFY(reader >= 0);
            a->SendChatText(QStringLiteral("FR?"));
            QCOMPARE(said.size(), 2); // written again
            const QString line(1000, QLatin1Char('x'));
            qsizetype sent = 2;
            while (said.size() == 2 && sent < 10000) {
                a->SendChatText(line);
                ++sent;
            }
            QCOMPARE(said.size(), 3);
            QVERIFY2(said.at(2).contains(QStringLiteral("not keeping up")), qPrintable(said.at(2)));
            QCOMPARE(backend.sent().size() - before, sent);
            char drain[4096];
            while (::read(reader, drain, sizeof drain) > 0) {
            }
            a->SendChatText(QStringLiteral("FR?"));
            QCOMPARE(said.size(), 4); // written again
            QByteArray tail;
            qint64 n = 0;
            while ((n = ::read(reader, drain, sizeof drain)) > 0)
                tail.append(drain, n);
            QCOMPARE(tail, QByteArray("FR?\n"));
            // The reader went away: said, not a killed program (the program ignores SIGPIPE).
            ::close(reader);
            const auto previous = std::signal(SIGPIPE, SIG_IGN);
            a->SendChatText(QStringLiteral("FR?"));
            std::signal(SIGPIPE, previous);
            QCOMPARE(said.size(), 5);
            said.clear();
        }
#endif
        // Removed while running: the next line starts it again where it was.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("chat.log"));
        ChatLogClientFactory factory(inner.get(), path);
        factory.setReporter(report);
        std::unique_ptr<EchoLinkClient> a = factory.create();
        a->SendChatText(QStringLiteral("one"));
        QVERIFY(QFile::remove(path));
        a->SendChatText(QStringLiteral("two"));
        QCOMPARE(readFile(path), QStringLiteral("two\n"));
        QVERIFY(said.isEmpty());
        // Something else in its place: said once, then written again once it is gone.
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path));
        a->SendChatText(QStringLiteral("three"));
        a->SendChatText(QStringLiteral("four"));
        QCOMPARE(said.size(), 1);
        QVERIFY(QDir().rmdir(path));
        a->SendChatText(QStringLiteral("five"));
        QCOMPARE(readFile(path), QStringLiteral("five\n"));
        QCOMPARE(said.size(), 2);
        QVERIFY2(said.at(1).contains(QStringLiteral("written again")), qPrintable(said.at(1)));
    }

    void theWholeProgramLogsEveryWindowsLines()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        rig.options.chatLogFile = dir.filePath(QStringLiteral("chat.log"));
        QVERIFY(rig.start());
        rig.trigger(QStringLiteral("FreqReq"));
        QCOMPARE(readFile(rig.options.chatLogFile), QStringLiteral("FR?\n"));
    }

    void option()
    {
        const CommandLineResult r =
            parseCommandLine({QStringLiteral("tavrin"), QStringLiteral("--chat-log"), QStringLiteral("/tmp/x.log")});
        QVERIFY(r.error.isEmpty());
        QCOMPARE(r.options.chatLogFile, QStringLiteral("/tmp/x.log"));
        QVERIFY(!parseCommandLine({QStringLiteral("tavrin"), QStringLiteral("--chat-log")}).error.isEmpty());
    }
};

QTEST_MAIN(ChatLogTest)
#include "test_chatlog.moc"
