// The native station at the client interface, against a real station in its own process
// (the peer on 127.0.0.2) and a fake directory on 127.0.0.3. Ours is on 127.0.0.1; both
// ends use port base 15198.

#include "PeerProcess.h"

#include "echolink/native/LibraryMessages.h"
#include "echolink/native/NativeLink.h"
#include "echolink/native/NativeVoice.h"
#include "support/FakeDirectory.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

#include <cmath>
#include <memory>
#include <sstream>
#include <numbers>

using namespace tavrin;
using namespace tavrin::test;

// The protocol library leaks a signal slot whenever one of its timers deletes itself from
// its own callback (the receive indicator does, per voice stream); not ours to fix.
extern "C" const char *__lsan_default_suppressions();
extern "C" __attribute__((used)) const char *__lsan_default_suppressions()
{
    return "leak:libecholib\nleak:libsigc-2.0\n";
}

namespace {

const QString kLocalCall = QStringLiteral("XX1TAV-L");
const QString kPeer = QString::fromLatin1(kPeerCall);
const QHostAddress kLocalAddress(QStringLiteral("127.0.0.1"));
const QHostAddress kDirectoryAddress(QStringLiteral("127.0.0.3"));
constexpr quint16 kDirectoryPort = 15200;
constexpr int kWaitMs = 8000; // generous for sanitizer builds; waits end as soon as they can

QByteArray tone(int samples, qint64 &phase)
{
    QByteArray out(samples * int(sizeof(qint16)), Qt::Uninitialized);
    auto *p = reinterpret_cast<qint16 *>(out.data());
    for (int i = 0; i < samples; ++i, ++phase)
        p[i] = qint16(8000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * double(phase) / 8000.0));
    return out;
}

// Every event of one handle, as text, in arrival order.
struct EventLog {
    QStringList events;
    void watch(EchoLinkClient *client, const QString &tag)
    {
        QObject::connect(client, &EchoLinkClient::ChatTextReceived, [this, tag](const QString &t) { events << tag + QStringLiteral(" chat ") + t; });
        QObject::connect(client, &EchoLinkClient::StationTextReceived, [this, tag](const QString &t) { events << tag + QStringLiteral(" info ") + t; });
        QObject::connect(client, &EchoLinkClient::RX, [this, tag](bool on) { events << tag + (on ? QStringLiteral(" rx on") : QStringLiteral(" rx off")); });
        QObject::connect(client, &EchoLinkClient::Connected, [this, tag](const QString &c, const QString &n, const QString &a) {
            events << tag + QStringLiteral(" connected ") + c + QLatin1Char('|') + n + QLatin1Char('|') + a;
        });
        QObject::connect(client, &EchoLinkClient::Closing, [this, tag] { events << tag + QStringLiteral(" closing"); });
    }
    int count(const QString &event) const { return int(events.count(event)); }
    bool has(const QString &event) const { return events.contains(event); }
};

struct Rig {
    FakeDirectory directory;
    PeerProcess peer;
    NativeLinkOptions options;
    std::unique_ptr<NativeLink> link;
    std::unique_ptr<EchoLinkClientFactory> factory;
    std::unique_ptr<EchoLinkClient> client;
    EventLog log;
    QStringList statuses;
    qint64 phase = 0;

    Rig()
    {
        options.callsign = kLocalCall;
        options.password = QStringLiteral("secret");
        options.name = QStringLiteral("Tavrin test");
        options.location = QStringLiteral("Loopback");
        options.portBase = kTestPortBase;
        options.bindAddress = kLocalAddress.toString();
        options.audioInput = QStringLiteral("none");
        options.audioOutput = QStringLiteral("none");
        options.directoryTimeoutMs = 2000;
        options.testAudioInput = [this](int samples) { return tone(samples, phase); };
    }
    ~Rig()
    {
        client.reset();
        factory.reset();
        link.reset();
    }

    // Peer, directory and our station; call through QVERIFY-able steps from the test body.
    void start(const QStringList &peerOptions = {QStringLiteral("--auto-accept"), QStringLiteral("--name"), QStringLiteral("Pete")})
    {
        QVERIFY2(!PeerProcess::programPath().isEmpty(), "TAVRIN_ECHOLINK_PEER is not set");
        QVERIFY2(directory.listen(kDirectoryAddress, kDirectoryPort), qPrintable(directory.errorString()));
        FakeStation station;
        station.callsign = kPeer;
        station.address = QString::fromLatin1(kPeerAddress);
        directory.setStations({station});
        if (options.directoryServers.isEmpty())
            options.directoryServers = {directory.server()};
        QVERIFY2(peer.start(peerOptions), qPrintable(peer.lines().join(QLatin1Char('\n'))));
        startStation();
    }
    void startStation()
    {
        link = std::make_unique<NativeLink>(options);
        QObject::connect(link.get(), &NativeLink::statusChanged, [this](const QString &s) {
            statuses << s;
            qInfo("status: %s", qPrintable(s)); // for the reader of a failure
        });
        QVERIFY2(link->start(), qPrintable(link->statusText()));
        factory = link->factory();
        client = factory->create();
        log.watch(client.get(), QStringLiteral("A"));
    }
    // Links to the peer by callsign and waits until both ends say so.
    void linkToPeer(const QString &asTyped = kPeer)
    {
        const int from = peer.mark();
        client->Connect(asTyped, true);
        QTRY_VERIFY_WITH_TIMEOUT(client->IsConnected(kPeer), kWaitMs);
        QVERIFY(peer.waitFor(QStringLiteral("connected ") + kLocalCall, kWaitMs, from));
    }
    bool lastLoginIs(const char *statusPrefix) const
    {
        return !directory.logins().isEmpty() && directory.logins().last().status.startsWith(QLatin1String(statusPrefix));
    }
};

} // namespace

namespace {
// A sine at `hz`, `count` samples at `rate`, starting at sample `from`.
std::vector<float> sine(double hz, int rate, int count, int from = 0)
{
    std::vector<float> out(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        out[size_t(i)] = float(0.5 * std::sin(2.0 * std::numbers::pi * hz * double(from + i) / rate));
    return out;
}
// The peer's real connect request, caught on our control port before our station runs, with
// the directory up and the peer in its list. Empty when the peer could not be started or
// said nothing.
QByteArray catchConnectRequest(Rig &rig)
{
    if (!rig.directory.listen(kDirectoryAddress, kDirectoryPort))
        return {};
    rig.options.directoryServers = {rig.directory.server()};
    FakeStation peer; // listed, as a caller must be
    peer.callsign = kPeer;
    peer.address = QString::fromLatin1(kPeerAddress);
    rig.directory.setStations({peer});
    QUdpSocket control;
    if (!control.bind(kLocalAddress, quint16(kTestPortBase + 1)) || !rig.peer.start({}))
        return {};
    rig.peer.send(QStringLiteral("connect 127.0.0.1 ") + kLocalCall);
    if (!QTest::qWaitFor([&] { return control.hasPendingDatagrams(); }, kWaitMs))
        return {};
    return control.receiveDatagram().data();
}
double rms(const std::vector<float> &v, size_t skip)
{
    double sum = 0;
    for (size_t i = skip; i < v.size(); ++i)
        sum += double(v[i]) * v[i];
    return std::sqrt(sum / double(v.size() - skip));
}
} // namespace

class TestNativeLink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void resamplerKeepsVoiceAndDropsWhatCannotPass_data()
    {
        QTest::addColumn<int>("inRate");
        QTest::addColumn<int>("outRate");
        QTest::newRow("capture 48000") << 48000 << 8000;
        QTest::newRow("capture 44100") << 44100 << 8000;
        QTest::newRow("playback 48000") << 8000 << 48000;
        QTest::newRow("same rate") << 8000 << 8000;
    }
    void resamplerKeepsVoiceAndDropsWhatCannotPass()
    {
        QFETCH(int, inRate);
        QFETCH(int, outRate);
        // Fed in uneven blocks, as a device delivers: the output is one steady stream of the
        // right length, and a 1 kHz voice tone keeps its level.
        Resampler resampler(inRate, outRate);
        std::vector<float> out;
        std::vector<float> block;
        int fed = 0;
        for (int size : {1, 7, 480, 333, 1024, 5000, 64, 4095}) {
            const std::vector<float> in = sine(1000.0, inRate, size, fed);
            resampler.process(in.data(), size, block);
            out.insert(out.end(), block.begin(), block.end());
            fed += size;
        }
        const double expected = double(fed) * outRate / inRate;
        QVERIFY2(std::abs(double(out.size()) - expected) <= 2.0, qPrintable(QString::number(out.size())));
        QVERIFY(std::abs(rms(out, 50) - 0.5 / std::sqrt(2.0)) < 0.06);
        // No jumps at the block joins: neighbouring samples of a 1 kHz tone stay close.
        double biggestStep = 0;
        for (size_t i = 1; i < out.size(); ++i)
            biggestStep = std::max(biggestStep, double(std::abs(out[i] - out[i - 1])));
        QVERIFY2(biggestStep < 0.5 * 2 * std::numbers::pi * 1000.0 / std::min(inRate, outRate) * 1.3 + 0.01,
                 qPrintable(QString::number(biggestStep)));

        if (inRate > outRate) {
            // A tone far above what 8 kHz can carry is mostly gone, not folded into the voice band.
            Resampler down(inRate, outRate);
            const std::vector<float> high = sine(15000.0, inRate, inRate / 2);
            down.process(high.data(), int(high.size()), block);
            QVERIFY2(rms(block, 10) < 0.1, qPrintable(QString::number(rms(block, 10))));
        }
    }

    void linkByCallsignChatAndInfo()
    {
        Rig rig;
        rig.options.callsign = QStringLiteral("xx1tav-l"); // as an operator might type it
        rig.start();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(rig.client->StationCallsign(), kLocalCall);
        QTRY_VERIFY_WITH_TIMEOUT(rig.lastLoginIs("ONLINE"), kWaitMs);
        QCOMPARE(rig.directory.logins().last().callsign, kLocalCall);
        QCOMPARE(rig.client->StationCount(), 0);
        // With nobody linked a line goes nowhere, and the sender hears so.
        QVERIFY_THROWS_EXCEPTION(EchoLinkError, rig.client->SendChatText(QStringLiteral("anyone?")));

        // Typed in lower case: looked up case-blind, linked, announced once.
        rig.linkToPeer(QStringLiteral("peer-l"));
        if (QTest::currentTestFailed())
            return;
        QVERIFY(rig.client->IsConnected(QStringLiteral("peer-l")));
        QCOMPARE(rig.client->StationCount(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(rig.log.has(QStringLiteral("A connected PEER-L|Pete|127.0.0.2")),
                                 kWaitMs);

        // Our line reaches the peer under our callsign in upper case; a line break inside
        // cannot split it.
        int from = rig.peer.mark();
        rig.client->SendChatText(QStringLiteral("hello\nthere"));
        QVERIFY(rig.peer.waitFor(QStringLiteral("chat ") + kLocalCall + QStringLiteral(">hello there"), kWaitMs, from));
        // More than a datagram holds goes nowhere, and says so.
        QVERIFY_THROWS_EXCEPTION(EchoLinkError, rig.client->SendChatText(QString(70000, QLatin1Char('x'))));

        // The peer's line arrives exactly as "CALL>text".
        rig.peer.send(QStringLiteral("chat FN14.2300 USB"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.log.has(QStringLiteral("A chat PEER-L>FN14.2300 USB")), kWaitMs);

        rig.peer.send(QStringLiteral("info Peer station in a box"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.log.has(QStringLiteral("A info Peer station in a box")), kWaitMs);

        // A Windows station's code page, and UTF-8 as it is.
        rig.peer.sendBytes("chat \x93\x80 5\x94 \x96 ok");
        rig.peer.sendBytes("chat Pr\xc3\xa9" "ampli \xe2\x82\xac");
        QTRY_VERIFY_WITH_TIMEOUT(rig.log.has(QStringLiteral("A chat PEER-L>Pr\u00e9ampli \u20ac")), kWaitMs);
        QVERIFY(rig.log.has(QStringLiteral("A chat PEER-L>\u201c\u20ac 5\u201d \u2013 ok")));

        // Connect to a station already linked does nothing more.
        rig.client->Connect(kPeer, true);
        QTest::qWait(200);
        QCOMPARE(rig.client->StationCount(), 1);

        from = rig.peer.mark();
        rig.client->Disconnect(QStringLiteral("peer-l"));
        QVERIFY(rig.peer.waitFor(QStringLiteral("disconnected ") + kLocalCall, kWaitMs, from));
        QCOMPARE(rig.client->StationCount(), 0);
        QVERIFY(!rig.client->IsConnected(kPeer));
        QCOMPARE(rig.log.events.filter(QStringLiteral(" connected ")).size(), qsizetype(1));

        // Linking again at once: the station is known now, so no new list is fetched.
        const int lists = rig.directory.listRequests();
        rig.linkToPeer();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(rig.directory.listRequests(), lists);
        QTRY_COMPARE_WITH_TIMEOUT(rig.log.events.filter(QStringLiteral(" connected ")).size(), qsizetype(2), kWaitMs);
    }

    void eventsReachEveryHandleInCreationOrder()
    {
        Rig rig;
        rig.start();
        if (QTest::currentTestFailed())
            return;
        auto second = rig.factory->create();
        auto third = rig.factory->create();
        // One shared log: the order across handles is what is checked.
        rig.log.watch(second.get(), QStringLiteral("B"));
        rig.log.watch(third.get(), QStringLiteral("C"));
        third.reset(); // a closed window's handle just stops hearing
        rig.linkToPeer();
        if (QTest::currentTestFailed())
            return;
        rig.peer.send(QStringLiteral("chat one"));
        rig.peer.send(QStringLiteral("chat two"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.log.has(QStringLiteral("B chat PEER-L>two")), kWaitMs);
        const QStringList chats = rig.log.events.filter(QStringLiteral(" chat "));
        QCOMPARE(chats, (QStringList{QStringLiteral("A chat PEER-L>one"), QStringLiteral("B chat PEER-L>one"),
                                     QStringLiteral("A chat PEER-L>two"), QStringLiteral("B chat PEER-L>two")}));
        QVERIFY(rig.log.events.filter(QStringLiteral("C ")).isEmpty());

        // Shutdown: links dropped, logged off, Closing on every handle; the handles then fail.
        const int from = rig.peer.mark();
        rig.link->shutdown();
        QVERIFY(!rig.link->isRunning());
        QVERIFY(rig.peer.waitFor(QStringLiteral("disconnected ") + kLocalCall, kWaitMs, from));
        QTRY_VERIFY_WITH_TIMEOUT(rig.log.has(QStringLiteral("B closing")), kWaitMs);
        const QStringList closing = rig.log.events.filter(QStringLiteral("closing"));
        QCOMPARE(closing, (QStringList{QStringLiteral("A closing"), QStringLiteral("B closing")}));
        QTRY_VERIFY_WITH_TIMEOUT(rig.lastLoginIs("OFF"), kWaitMs);
        try {
            rig.client->StationCount();
            QFAIL("a call on a station that has shut down");
        } catch (const EchoLinkError &e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("The EchoLink station has shut down"));
        }
        QVERIFY_THROWS_EXCEPTION(EchoLinkError, rig.client->SendChatText(QStringLiteral("x")));
        rig.link.reset(); // destroyed after shutdown: no second Closing
        QTest::qWait(50);
        QCOMPARE(rig.log.events.filter(QStringLiteral("closing")).size(), qsizetype(2));
        QVERIFY_THROWS_EXCEPTION(EchoLinkError, rig.client->StationCallsign());
        QVERIFY_THROWS_EXCEPTION(EchoLinkError, rig.factory->create());
    }

    void incomingAcceptedOnceRefusedWhileBusy()
    {
        Rig rig;
        rig.start({});
        if (QTest::currentTestFailed())
            return;
        QTRY_VERIFY_WITH_TIMEOUT(rig.lastLoginIs("ONLINE"), kWaitMs);

        // Busy: listed as busy, and a caller is turned away.
        rig.client->SetBusy(true);
        QTRY_VERIFY_WITH_TIMEOUT(rig.lastLoginIs("BUSY"), kWaitMs);
        int from = rig.peer.mark();
        rig.peer.send(QStringLiteral("connect 127.0.0.1 ") + kLocalCall);
        QVERIFY(rig.peer.waitFor(QStringLiteral("disconnected ") + kLocalCall, kWaitMs, from));
        // The caller is told why, before the goodbye.
        const int reason = rig.peer.waitForLine([](const QString &l) { return l.endsWith(QLatin1String("Busy: not taking connections now")); }, 0, from);
        QVERIFY2(reason >= 0 && reason < rig.peer.lines().indexOf(QStringLiteral("disconnected ") + kLocalCall, from),
                 qPrintable(rig.peer.lines().mid(from).join(QLatin1Char('\n'))));
        QCOMPARE(rig.client->StationCount(), 0);
        QVERIFY(rig.log.events.filter(QStringLiteral(" connected ")).isEmpty());

        // Not busy any more: the same caller gets in at once, announced once.
        rig.client->SetBusy(false);
        QTRY_VERIFY_WITH_TIMEOUT(rig.lastLoginIs("ONLINE"), kWaitMs);
        from = rig.peer.mark();
        rig.peer.send(QStringLiteral("connect 127.0.0.1 ") + kLocalCall);
        QVERIFY(rig.peer.waitFor(QStringLiteral("connected ") + kLocalCall, kWaitMs, from));
        QTRY_VERIFY_WITH_TIMEOUT(rig.client->IsConnected(kPeer), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(rig.log.events.filter(QStringLiteral(" connected ")).size(), qsizetype(1), kWaitMs);
        QVERIFY(rig.log.events.filter(QStringLiteral(" connected ")).first().startsWith(QStringLiteral("A connected PEER-L|")));
        QTest::qWait(500); // room for a repeated request to be answered twice
        QCOMPARE(rig.log.events.filter(QStringLiteral(" connected ")).size(), qsizetype(1));
        QCOMPARE(rig.client->StationCount(), 1);

        // Chat works on a link the other side made.
        rig.peer.send(QStringLiteral("chat hi"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.log.has(QStringLiteral("A chat PEER-L>hi")), kWaitMs);

        from = rig.peer.mark();
        rig.client->DisconnectAll();
        QVERIFY(rig.peer.waitFor(QStringLiteral("disconnected ") + kLocalCall, kWaitMs, from));
        QCOMPARE(rig.client->StationCount(), 0);
    }

    void repeatedRequestAcceptedOnce()
    {
        // The peer's real connect request, caught on our control port before our station runs...
        Rig rig;
        const QByteArray request = catchConnectRequest(rig);
        QVERIFY2(!request.isEmpty(), qPrintable(rig.peer.lines().join(QLatin1Char('\n'))));
        rig.startStation();
        if (QTest::currentTestFailed())
            return;
        // ...then said again and again from the peer's address, as an unanswered caller does.
        QUdpSocket caller;
        QVERIFY(caller.bind(QHostAddress(QString::fromLatin1(kPeerAddress)), 0));
        const int from = rig.peer.mark();
        for (int i = 0; i < 5; ++i)
            QCOMPARE(caller.writeDatagram(request, kLocalAddress, quint16(kTestPortBase + 1)), qint64(request.size()));
        QVERIFY(rig.peer.waitFor(QStringLiteral("connected ") + kLocalCall, kWaitMs, from));
        QTRY_COMPARE_WITH_TIMEOUT(rig.log.events.filter(QStringLiteral(" connected ")).size(), qsizetype(1), kWaitMs);
        QTest::qWait(300);
        QCOMPARE(rig.log.events.filter(QStringLiteral(" connected ")).size(), qsizetype(1));
        QCOMPARE(rig.client->StationCount(), 1);
        QVERIFY(rig.client->IsConnected(kPeer));
    }

    void hostileCallersAreTurnedAway()
    {
        // The peer's real connect request, caught before our station runs, then said from
        // other addresses under other names.
        Rig rig;
        const QByteArray request = catchConnectRequest(rig);
        QVERIFY2(request.contains(kPeerCall), qPrintable(rig.peer.lines().join(QLatin1Char('\n'))));
        rig.options.callsign = QStringLiteral("XX1TAV"); // as long as the peer's, for the same-size requests below
        // The callers are in the station list (from this machine, the address does not matter).
        QList<FakeStation> listed;
        const auto list = [&](const QString &call) {
            FakeStation station;
            station.callsign = call;
            station.address = QStringLiteral("203.0.113.9");
            listed << station;
            rig.directory.setStations(listed);
        };
        for (const QString &call : {kPeer, QStringLiteral("AFTER1")})
            list(call);
        for (int i = 0; i < 30; ++i)
            list(QStringLiteral("FL%1").arg(i, 4, 10, QLatin1Char('0')));
        rig.startStation();
        if (QTest::currentTestFailed())
            return;
        std::vector<std::unique_ptr<QUdpSocket>> callers;
        const auto call = [&](const QString &from, const QByteArray &asCall) {
            auto socket = std::make_unique<QUdpSocket>();
            QVERIFY(socket->bind(QHostAddress(from), 0));
            const QByteArray said = QByteArray(request).replace(kPeerCall, asCall);
            QCOMPARE(socket->writeDatagram(said, kLocalAddress, quint16(kTestPortBase + 1)), qint64(said.size()));
            callers.push_back(std::move(socket));
        };
        call(QString::fromLatin1(kPeerAddress), kPeerCall);
        QTRY_VERIFY_WITH_TIMEOUT(rig.client->IsConnected(kPeer), kWaitMs);

        // Linked already from elsewhere, ours, or a "callsign" with the tag mark in it: each
        // would let its chat lines pass as another station's.
        call(QStringLiteral("127.0.0.4"), kPeerCall);
        QTRY_VERIFY_WITH_TIMEOUT(rig.statuses.contains(QStringLiteral("Ignored a connection from 127.0.0.4: PEER-L is already linked from 127.0.0.2")), kWaitMs);
        call(QStringLiteral("127.0.0.8"), "XX1TAV");
        QTRY_VERIFY_WITH_TIMEOUT(rig.statuses.contains(QStringLiteral("Ignored a connection from 127.0.0.8: XX1TAV is this station's callsign")), kWaitMs);
        call(QStringLiteral("127.0.0.5"), "PEER>L");
        QTRY_VERIFY_WITH_TIMEOUT(rig.statuses.contains(QStringLiteral("Ignored a connection from 127.0.0.5: \"PEER>L\" is not a callsign")), kWaitMs);
        // Any caller can name any station: one the station list does not have is not let in
        // (it could be on a node's allow-list); one that logged in since the list was read is,
        // once a fresh list has it.
        call(QStringLiteral("127.0.0.9"), "NOBODY");
        QTRY_VERIFY_WITH_TIMEOUT(rig.statuses.contains(QStringLiteral("Ignored a connection from 127.0.0.9: NOBODY is not in the station list at that address")), kWaitMs);
        // Right after that list, a rush of unknown callers from forged addresses, and the
        // genuine one among them: all wait for one fresh list, not a list each.
        const int lists = rig.directory.listRequests();
        rig.directory.setMode(FakeDirectory::Mode::Slow); // the list takes a while to come
        rig.directory.setTrickle(128, 20);
        list(QStringLiteral("LATE-L"));
        for (int i = 0; i < 8; ++i)
            call(QStringLiteral("127.0.0.%1").arg(50 + i), "FORGD" + QByteArray::number(i));
        call(QStringLiteral("127.0.0.3"), "LATE-L");
        QTRY_VERIFY_WITH_TIMEOUT(rig.client->IsConnected(QStringLiteral("LATE-L")), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(rig.statuses.filter(QStringLiteral(": FORGD")).size(), qsizetype(8), kWaitMs);
        QCOMPARE(rig.directory.listRequests(), lists + 1);
        rig.directory.setMode(FakeDirectory::Mode::Normal);
        QVERIFY(!rig.client->IsConnected(QStringLiteral("NOBODY")));
        rig.client->Disconnect(QStringLiteral("LATE-L"));

        // A request whose items lie past its own end must not be read from whatever the
        // datagram before it left behind (here: a name that nobody sent with it).
        {
            QUdpSocket leftovers;
            QVERIFY(leftovers.bind(QHostAddress(QStringLiteral("127.0.0.6")), 0));
            const QByteArray item = QByteArrayLiteral("STALE-L Stale");
            const QByteArray stale = QByteArray(16, '\0') + char(2) + char(item.size()) + item + QByteArray(4, '\0');
            leftovers.writeDatagram(stale, kLocalAddress, quint16(kTestPortBase + 1));
            const QByteArray cut("\xc0\xc9\x00\x01\x00\x00\x00\x00\xc1\xca\x00\x04", 12);
            leftovers.writeDatagram(cut, kLocalAddress, quint16(kTestPortBase + 1));
        }
        call(QStringLiteral("127.0.0.7"), "AFTER1");
        QTRY_VERIFY_WITH_TIMEOUT(rig.client->IsConnected(QStringLiteral("AFTER1")), kWaitMs);
        QVERIFY2(rig.log.events.filter(QStringLiteral("STALE")).isEmpty(), qPrintable(rig.log.events.join(QLatin1Char('\n'))));
        QVERIFY(!rig.statuses.join(QLatin1Char('\n')).contains(QStringLiteral("STALE")));

        // Callers from many addresses: a bounded number is held, the rest go unanswered.
        QTRY_COMPARE_WITH_TIMEOUT(rig.client->StationCount(), 2, kWaitMs);
        for (int i = 0; i < 30; ++i) // with PEER-L and AFTER1: 32
            call(QStringLiteral("127.0.0.%1").arg(10 + i), QStringLiteral("FL%1").arg(i, 4, 10, QLatin1Char('0')).toLatin1());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.statuses.filter(QStringLiteral("stations linked already")).isEmpty(), kWaitMs);
        QTest::qWait(300);
        QCOMPARE(rig.client->StationCount(), 16);
        QCOMPARE(rig.log.events.filter(QStringLiteral(" connected ")).size(), qsizetype(17)); // LATE-L came and went
        QVERIFY(rig.client->IsConnected(QStringLiteral("AFTER1")));
        QVERIFY(rig.log.events.filter(QStringLiteral(" connected PEER")).size() == 1);
        QVERIFY(rig.client->IsConnected(kPeer));
    }

    void voiceBothWays()
    {
        Rig rig;
        // The default devices, on a machine without a sound server (the test environment
        // points it nowhere): the link carries on and says so.
        rig.options.audioOutput.clear();
        rig.start();
        if (QTest::currentTestFailed())
            return;
        rig.linkToPeer();
        if (QTest::currentTestFailed())
            return;

        // The peer talks: RX on, then off; there is no sound device and nothing breaks. A peer
        // starved of CPU pauses its voice, which reads as off and on again: the events alternate.
        rig.peer.send(QStringLiteral("tone 600"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.log.has(QStringLiteral("A rx on")), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(rig.log.events.filter(QStringLiteral(" rx ")).last() == QLatin1String("A rx off"), kWaitMs);
        const QStringList rx = rig.log.events.filter(QStringLiteral(" rx "));
        for (qsizetype i = 0; i < rx.size(); ++i)
            QCOMPARE(rx.at(i), i % 2 ? QStringLiteral("A rx off") : QStringLiteral("A rx on"));
        if (qEnvironmentVariable("PULSE_SERVER") == QLatin1String("unix:/nonexistent"))
            QVERIFY(rig.statuses.contains(QStringLiteral("No audio output: received voice is not played")));

        // We key: the peer hears us, and the count keeps growing while keyed.
        QVERIFY(!rig.client->IsTransmitting());
        const int from = rig.peer.mark();
        QCOMPARE(rig.phase, qint64(0)); // the microphone is read only while keyed
        rig.client->SetTransmit(true);
        QVERIFY(rig.client->IsTransmitting());
        QVERIFY(rig.peer.waitFor(QStringLiteral("rx on"), kWaitMs, from));
        QVERIFY(rig.peer.waitForLine([](const QString &l) { return l.startsWith(QLatin1String("audio ")) && l.mid(6).toLongLong() >= 4000; },
                                     kWaitMs, from) >= 0);
        rig.client->SetTransmit(false);
        QVERIFY(!rig.client->IsTransmitting());
        // Unkeyed: the peer hears everything the microphone gave while keyed, the last packet
        // filled up with silence, and nothing more. (Its "rx off" is no end mark: a pause of
        // ours under load reads as one too.)
        const qint64 captured = rig.phase;
        constexpr qint64 kPacket = 640; // four 20 ms frames
        const qint64 padded = (captured + kPacket - 1) / kPacket * kPacket;
        const auto reported = [&](const QString &l) { return l.startsWith(QLatin1String("audio ")) && l.mid(6).toLongLong() >= captured; };
        QVERIFY2(rig.peer.waitForLine(reported, kWaitMs, from) >= 0,
                 qPrintable(QStringLiteral("captured %1, heard %2").arg(captured).arg(rig.peer.lastAudioCount())));
        QTest::qWait(300);
        QCOMPARE(rig.phase, captured);
        QVERIFY2(rig.peer.lastAudioCount() <= padded,
                 qPrintable(QStringLiteral("captured %1, heard %2").arg(captured).arg(rig.peer.lastAudioCount())));

        // Keyed as the last link drops: the transmitter goes with it, and keying with nobody
        // linked keys nothing, so the next station to link does not find the microphone open.
        rig.client->SetTransmit(true);
        rig.client->Disconnect(kPeer);
        QTRY_COMPARE_WITH_TIMEOUT(rig.client->StationCount(), 0, kWaitMs);
        QVERIFY(!rig.client->IsTransmitting());
        rig.client->SetTransmit(true);
        rig.linkToPeer();
        QVERIFY(!rig.client->IsTransmitting());
    }

    void garbageFromThePeer()
    {
        Rig rig;
        rig.start();
        if (QTest::currentTestFailed())
            return;
        rig.linkToPeer();
        if (QTest::currentTestFailed())
            return;
        rig.peer.send(QStringLiteral("garbage 500"));
        // Still linked and chatting both ways once the garbage is through. The flood can
        // overrun a socket buffer, so a line right behind it may be lost like any datagram:
        // say it again until it arrives.
        const QDeadlineTimer deadline(kWaitMs);
        while (!rig.log.has(QStringLiteral("A chat PEER-L>after")) && !deadline.hasExpired()) {
            rig.peer.send(QStringLiteral("chat after"));
            QTest::qWait(100);
        }
        QVERIFY(rig.log.has(QStringLiteral("A chat PEER-L>after")));
        QVERIFY(rig.client->IsConnected(kPeer));
        const int from = rig.peer.mark();
        rig.client->SendChatText(QStringLiteral("still here"));
        QVERIFY(rig.peer.waitFor(QStringLiteral("chat ") + kLocalCall + QStringLiteral(">still here"), kWaitMs, from));
        QCOMPARE(rig.client->StationCount(), 1);
    }

    void libraryLinesAreHeldToATrickle()
    {
        // One library line per packet from anyone: a flood must not reach the journal whole.
        std::stringbuf out;
        auto now = std::chrono::steady_clock::time_point{};
        native::LineLimiter limiter(&out, [&now] { return now; });
        std::ostream library(&limiter);
        for (int i = 0; i < 100; ++i)
            library << "Spurious ctrl packet received from 203.0.113." << i << std::endl;
        const auto lines = [&out] { return QString::fromStdString(out.str()).split(u'\n', Qt::SkipEmptyParts); };
        QCOMPARE(lines().size(), native::LineLimiter::kBurst);
        now += std::chrono::milliseconds(native::LineLimiter::kRefillMs);
        library << "bad \x1b[2Jframe" << std::endl;
        QCOMPARE(lines().mid(native::LineLimiter::kBurst),
                 QStringList({QStringLiteral("(80 more messages of the EchoLink library left out)"),
                              QStringLiteral("bad ?[2Jframe")}));
    }

    void portsInUse_data()
    {
        QTest::addColumn<int>("taken");
        QTest::newRow("audio port") << kTestPortBase;
        QTest::newRow("control port") << kTestPortBase + 1;
    }
    void portsInUse()
    {
        QFETCH(int, taken);
        QUdpSocket squatter;
        QVERIFY(squatter.bind(kLocalAddress, quint16(taken)));
        Rig rig;
        rig.options.directoryServers = {QStringLiteral("127.0.0.3:1")};
        NativeLink link(rig.options);
        QSignalSpy status(&link, &NativeLink::statusChanged);
        QVERIFY(!link.start());
        QVERIFY(!link.isRunning());
        QVERIFY2(link.statusText().contains(QStringLiteral("in use")), qPrintable(link.statusText()));
        QVERIFY(link.statusText().contains(QString::number(kTestPortBase)));
        QCOMPARE(status.count(), 1);
        auto factory = link.factory();
        auto client = factory->create();
        try {
            client->Connect(kPeer, true);
            QFAIL("Connect on a station that could not start");
        } catch (const EchoLinkError &e) {
            QCOMPARE(QString::fromStdString(e.what()), link.statusText());
        }
        QVERIFY_THROWS_EXCEPTION(EchoLinkError, client->StationCount());

        // Freed again, the same object starts.
        squatter.close();
        QVERIFY2(link.start(), qPrintable(link.statusText()));
        QCOMPARE(client->StationCount(), 0);
    }

    void directoryTroubleIsAStatus_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::newRow("nothing listens") << false;
        QTest::newRow("never answers") << true;
    }
    void directoryTroubleIsAStatus()
    {
        // The station runs all the same, and linking by callsign says why it can't, within
        // the time-out.
        QFETCH(bool, listening);
        FakeDirectory silent;
        Rig rig;
        if (listening) {
            QVERIFY(silent.listen(kDirectoryAddress, kDirectoryPort));
            silent.setMode(FakeDirectory::Mode::Silent);
            rig.options.directoryServers = {silent.server()};
        } else {
            rig.options.directoryServers = {QStringLiteral("127.0.0.3:15201")};
        }
        rig.startStation();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(rig.link->isRunning());
        rig.client->Connect(kPeer, true);
        QTRY_VERIFY_WITH_TIMEOUT(rig.link->statusText().startsWith(QStringLiteral("Cannot link to PEER-L: ")), kWaitMs);
        QCOMPARE(rig.client->StationCount(), 0);
        QCOMPARE(rig.client->StationCallsign(), kLocalCall);
    }

    void unknownCallsignAndNoDirectory()
    {
        Rig rig;
        rig.options.directoryTimeoutMs = 60000; // far past the waits below
        rig.start();
        if (QTest::currentTestFailed())
            return;
        rig.client->Connect(QStringLiteral("NOSUCH-L"), true);
        QTRY_COMPARE_WITH_TIMEOUT(rig.link->statusText(), QStringLiteral("NOSUCH-L is not in the station list"), kWaitMs);
        QCOMPARE(rig.client->StationCount(), 0);
        QVERIFY_THROWS_EXCEPTION(EchoLinkError, rig.client->Connect(QString(), true));

        // Listed at an address that takes no packet from us: the attempt fails at once, and
        // asking again tries again rather than waiting on a link that never comes.
        FakeStation deaf;
        deaf.callsign = QStringLiteral("DEAF-L");
        deaf.address = QStringLiteral("127.255.255.255");
        // "Any address" would reach this station itself.
        FakeStation self;
        self.callsign = QStringLiteral("ZERO-L");
        self.address = QStringLiteral("0.0.0.0");
        rig.directory.setStations({deaf, self});
        rig.client->Connect(self.callsign, true);
        QTRY_VERIFY_WITH_TIMEOUT(rig.statuses.contains(QStringLiteral("Cannot link to ZERO-L: no usable address")), kWaitMs);
        rig.client->Connect(kLocalCall, true);
        QCOMPARE(rig.link->statusText(), QStringLiteral("Cannot link to XX1TAV-L: that is this station"));
        const QString failed = QStringLiteral("Could not link to DEAF-L");
        rig.client->Connect(deaf.callsign, true);
        QTRY_VERIFY_WITH_TIMEOUT(rig.statuses.contains(failed), kWaitMs);
        rig.client->Connect(deaf.callsign, true);
        QTRY_COMPARE_WITH_TIMEOUT(rig.statuses.count(failed), qsizetype(2), kWaitMs);
        QVERIFY(!rig.client->IsConnected(deaf.callsign));

        // Stopped while a station-list request stalls: the logoff goes out at once, not after
        // that request's time-out, or the directory would go on listing a stopped station.
        rig.directory.setMode(FakeDirectory::Mode::Silent);
        const int lists = rig.directory.listRequests();
        rig.client->Connect(QStringLiteral("STALL-L"), true);
        QTRY_COMPARE_WITH_TIMEOUT(rig.directory.listRequests(), lists + 1, kWaitMs);
        rig.directory.setMode(FakeDirectory::Mode::Normal);

        // Destroyed without a shutdown first: the handles still hear Closing.
        rig.link.reset();
        QTRY_VERIFY_WITH_TIMEOUT(rig.log.has(QStringLiteral("A closing")), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(rig.lastLoginIs("OFF-V"), kWaitMs);

        // The same for a login that stalls: the first one of a station started again.
        rig.directory.setMode(FakeDirectory::Mode::Silent);
        const qsizetype logins = rig.directory.logins().size();
        rig.startStation();
        if (QTest::currentTestFailed())
            return;
        QTRY_COMPARE_WITH_TIMEOUT(rig.directory.logins().size(), logins + 1, kWaitMs);
        QVERIFY(rig.lastLoginIs("ONLINE"));
        rig.directory.setMode(FakeDirectory::Mode::Normal);
        rig.link->shutdown();
        QTRY_VERIFY_WITH_TIMEOUT(rig.lastLoginIs("OFF-V"), kWaitMs);
    }
};

QTEST_GUILESS_MAIN(TestNativeLink)
#include "test_nativelink.moc"
