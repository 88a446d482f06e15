// The test double itself: other folders' tests lean on its ordering and failure rules.
#include "support/FakeEchoLink.h"

#include <QtTest>

using namespace tavrin;
using tavrin::test::FakeEchoLinkBackend;

class TestFakeClient : public QObject {
    Q_OBJECT
private slots:
    void callsRecordedWithHandleIndex();
    void eventsSynchronousInCreationOrder();
    void failingAndMissingClient();
};

void TestFakeClient::callsRecordedWithHandleIndex()
{
    FakeEchoLinkBackend backend;
    backend.connected = {QStringLiteral("XX9XYZ-L")};
    auto factory = backend.factory();
    auto h0 = factory->create();
    auto h1 = factory->create();
    h0.reset();
    auto h2 = factory->create(); // index counts creations, not live handles

    QVERIFY(h1->IsConnected(QStringLiteral("XX9XYZ-L")));
    QVERIFY(!h1->IsConnected(QStringLiteral("xx9xyz-l"))); // exact match, as documented
    h2->Connect(QStringLiteral("XX2ABC"), true);
    h2->SetTransmit(true);
    h1->SendChatText(QStringLiteral("FR?"));
    h2->DisconnectAll();

    QCOMPARE(backend.handleCount(), 2);
    QCOMPARE(backend.calls.size(), 6);
    QCOMPARE(backend.calls.at(2).handle, 2);
    QCOMPARE(backend.calls.at(2).operation, QStringLiteral("Connect"));
    QCOMPARE(backend.calls.at(2).argument, QStringLiteral("XX2ABC"));
    QCOMPARE(backend.calls.at(3).argument, QStringLiteral("true"));
    QCOMPARE(backend.calls.at(5).argument, QString());
    QCOMPARE(backend.sent(), QStringList{"FR?"});
    QCOMPARE(backend.callsOf(QStringLiteral("IsConnected")).size(), 2);
    // The double reports state; operations never change it.
    QVERIFY(!h2->IsTransmitting());
    QCOMPARE(h2->StationCount(), 0);
    backend.clearCalls();
    QVERIFY(backend.calls.isEmpty());
}

void TestFakeClient::eventsSynchronousInCreationOrder()
{
    FakeEchoLinkBackend backend;
    auto factory = backend.factory();
    auto a = factory->create();
    auto b = factory->create();
    auto c = factory->create();
    QStringList order;
    QObject::connect(c.get(), &EchoLinkClient::ChatTextReceived, [&](const QString &t) { order << "c " + t; });
    QObject::connect(a.get(), &EchoLinkClient::ChatTextReceived, [&](const QString &t) { order << "a " + t; });
    QObject::connect(b.get(), &EchoLinkClient::ChatTextReceived, [&](const QString &t) { order << "b " + t; });

    backend.raiseChat(QStringLiteral("x"));
    QCOMPARE(order, (QStringList{"a x", "b x", "c x"}));

    // A handler that destroys a later handle: that handle hears nothing, nothing crashes.
    order.clear();
    QObject::connect(a.get(), &EchoLinkClient::Closing, [&] { b.reset(); });
    QSignalSpy cClosing(c.get(), &EchoLinkClient::Closing);
    backend.raiseClosing();
    QCOMPARE(cClosing.count(), 1);
    QCOMPARE(backend.handleCount(), 2);
}

void TestFakeClient::failingAndMissingClient()
{
    auto backend = std::make_unique<FakeEchoLinkBackend>();
    backend->failing = {QStringLiteral("Connect")};
    auto factory = backend->factory();
    auto h = factory->create();
    QVERIFY_THROWS_EXCEPTION(EchoLinkError, h->Connect(QStringLiteral("XX9XYZ-L"), true));
    QCOMPARE(backend->callsOf(QStringLiteral("Connect")).size(), 1); // a failed call is still a call
    h->Disconnect(QStringLiteral("XX9XYZ-L"));

    backend->clientExists = false;
    QVERIFY_THROWS_EXCEPTION(EchoLinkError, factory->create());

    // A handle that outlives its backend fails instead of reaching freed memory.
    backend.reset();
    QVERIFY_THROWS_EXCEPTION(EchoLinkError, h->StationCount());
}

QTEST_GUILESS_MAIN(TestFakeClient)
#include "test_fakeclient.moc"
