// --chat-log: the factory decorator and the option that turns it on.
#include "core/CoreTestKit.h"

#include "app/CommandLine.h"
#include "echolink/ChatLogClient.h"

#include <QSignalSpy>

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
