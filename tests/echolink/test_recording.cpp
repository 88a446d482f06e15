#include "echolink/RecordingClient.h"
#include "support/FakeEchoLink.h"

#include <QtTest>

using namespace tavrin;
using tavrin::test::FakeEchoLinkBackend;

namespace {

QStringList logText(const RecordingClientFactory &rec)
{
    QStringList out;
    for (const RecordedCall &c : rec.calls())
        out << (c.operation + (c.argument.isEmpty() ? QString() : ' ' + c.argument) + (c.failed ? " !" : ""));
    return out;
}

} // namespace

class TestRecording : public QObject {
    Q_OBJECT
private slots:
    void logsEveryOperationInOrder();
    void failuresFlaggedAndRethrown();
    void reemitsInnerEvents();
    void noClient();
};

void TestRecording::logsEveryOperationInOrder()
{
    FakeEchoLinkBackend backend;
    backend.stationCount = 3;
    backend.transmitting = true;
    backend.connected = {QStringLiteral("XX9XYZ-L")};
    backend.localCallsign = QStringLiteral("XX1TVR-L");
    auto inner = backend.factory();
    RecordingClientFactory rec(inner.get());
    auto a = rec.create();
    auto b = rec.create();

    a->SetCallTimeout(kAutomationTimeoutMs);
    a->Connect(QStringLiteral("XX9XYZ-L"), true);
    QCOMPARE(b->StationCount(), 3);
    QVERIFY(a->IsTransmitting());
    QVERIFY(a->IsConnected(QStringLiteral("XX9XYZ-L")));
    QVERIFY(!b->IsConnected(QStringLiteral("XX2ABC")));
    QCOMPARE(a->StationCallsign(), QStringLiteral("XX1TVR-L"));
    a->SetTransmit(false);
    b->SetBusy(true);
    a->SendChatText(QStringLiteral("FR?"));
    b->Disconnect(QStringLiteral("XX9XYZ-L"));
    a->DisconnectAll();
    QCOMPARE(a->callTimeout(), kAutomationTimeoutMs);

    QCOMPARE(logText(rec), (QStringList{"SetCallTimeout 900000", "Connect XX9XYZ-L", "StationCount",
                                        "IsTransmitting", "IsConnected XX9XYZ-L", "IsConnected XX2ABC",
                                        "StationCallsign", "SetTransmit false", "SetBusy true", "SendChatText FR?",
                                        "Disconnect XX9XYZ-L", "DisconnectAll"}));
    // Every call reached the real handle, from the handle it was made on.
    QCOMPARE(backend.calls.size(), 12);
    QCOMPARE(backend.callsOf(QStringLiteral("StationCount")).value(0).handle, 1);
    QCOMPARE(backend.sent(), QStringList{"FR?"});
}

void TestRecording::failuresFlaggedAndRethrown()
{
    FakeEchoLinkBackend backend;
    backend.failing = {QStringLiteral("SendChatText"), QStringLiteral("StationCount")};
    auto inner = backend.factory();
    RecordingClientFactory rec(inner.get());
    auto h = rec.create();

    QVERIFY_THROWS_EXCEPTION(EchoLinkError, h->SendChatText(QStringLiteral("Time?")));
    QVERIFY_THROWS_EXCEPTION(EchoLinkError, h->StationCount());
    h->SetTransmit(true);
    QCOMPARE(logText(rec), (QStringList{"SendChatText Time? !", "StationCount !", "SetTransmit true"}));
}

void TestRecording::reemitsInnerEvents()
{
    FakeEchoLinkBackend backend;
    auto inner = backend.factory();
    RecordingClientFactory rec(inner.get());
    auto h = rec.create();
    QSignalSpy chat(h.get(), &EchoLinkClient::ChatTextReceived), stations(h.get(), &EchoLinkClient::StationTextReceived),
        rx(h.get(), &EchoLinkClient::RX), connected(h.get(), &EchoLinkClient::Connected),
        closing(h.get(), &EchoLinkClient::Closing);

    backend.raiseChat(QStringLiteral("XX9XYZ-L>FN7.1000 LSB"));
    backend.raiseStationText(QStringLiteral("XX9XYZ-L\rXX2ABC"));
    backend.raiseRx(true);
    backend.raiseConnected(QStringLiteral("XX2ABC"), QStringLiteral("Alan"), QStringLiteral("192.0.2.21"));
    backend.raiseClosing();

    QCOMPARE(chat.value(0).value(0).toString(), QStringLiteral("XX9XYZ-L>FN7.1000 LSB"));
    QCOMPARE(stations.value(0).value(0).toString(), QStringLiteral("XX9XYZ-L\rXX2ABC"));
    QCOMPARE(rx.value(0).value(0).toBool(), true);
    QCOMPARE(connected.value(0), (QVariantList{"XX2ABC", "Alan", "192.0.2.21"}));
    QCOMPARE(closing.count(), 1);
    QVERIFY(rec.calls().isEmpty()); // events are not operations
}

void TestRecording::noClient()
{
    RecordingClientFactory none(nullptr);
    try {
        none.create();
        QFAIL("create() without a client succeeded");
    } catch (const EchoLinkError &e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("EchoLink client not running"));
    }

    // The wrapped client can be missing too; its failure comes through unchanged.
    FakeEchoLinkBackend backend;
    backend.clientExists = false;
    auto inner = backend.factory();
    RecordingClientFactory rec(inner.get());
    QVERIFY_THROWS_EXCEPTION(EchoLinkError, rec.create());
    QCOMPARE(backend.handleCount(), 0);
}

QTEST_GUILESS_MAIN(TestRecording)
#include "test_recording.moc"
