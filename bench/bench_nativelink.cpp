// The native link against a real station on loopback: the peer program on 127.0.0.2, the
// fake directory on 127.0.0.3, our station on 127.0.0.1, port base 15198 at both ends.
//   BM_ConnectToLinked  Connect by callsign until Connected is raised (target: median < 100 ms).
//   BM_ChatRoundTrip    a command line sent until the peer's answer arrives (target: < 5 ms).
// Each iteration is timed by hand (wall clock around the event loop); medians are printed.
#include "PeerProcess.h"

#include "echolink/native/NativeLink.h"
#include "support/FakeDirectory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace tavrin;
using namespace tavrin::test;

namespace {

constexpr int kTimeoutMs = 5000;
constexpr int kBindTries = 120;
const QString kLocalCall = QStringLiteral("XX1TAV-L");
const QString kPeer = QString::fromLatin1(kPeerCall);

// Runs the event loop until `done` holds (checked whenever `sender` emits `signal`), or the
// time is up. Returns whether `done` held.
template <class Sender, class Signal, class Done>
bool runUntil(Sender *sender, Signal signal, Done done, int timeoutMs = kTimeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    auto c = QObject::connect(sender, signal, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(c);
    return done();
}

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double medianMs(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The station, the directory and the peer, set up once for every benchmark.
struct Loopback {
    FakeDirectory directory;
    PeerProcess peer;
    std::unique_ptr<NativeLink> link;
    std::unique_ptr<EchoLinkClientFactory> factory;
    std::unique_ptr<EchoLinkClient> client;
    QString error;

    bool setUp()
    {
        // Other programs on this machine may hold the test ports for a moment: wait for them.
        const QHostAddress directoryAddress(QStringLiteral("127.0.0.3"));
        bool listening = directory.listen(directoryAddress, 15200);
        for (int i = 0; i < kBindTries && !listening; ++i) {
            pause(250);
            listening = directory.listen(directoryAddress, 15200);
        }
        if (!listening) {
            error = QStringLiteral("directory: ") + directory.errorString();
            return false;
        }
        FakeStation station;
        station.callsign = kPeer;
        station.address = QString::fromLatin1(kPeerAddress);
        directory.setStations({station});
        const QStringList peerOptions{QStringLiteral("--auto-accept"), QStringLiteral("--answer-commands")};
        if (!peer.start(peerOptions, QString::fromLatin1(kPeerCall), QString::fromLatin1(kPeerAddress),
                        kTestPortBase, kBindTries * 250)) {
            error = QStringLiteral("peer did not start: ") + peer.lines().join(QLatin1Char('|'));
            return false;
        }
        NativeLinkOptions o;
        o.callsign = kLocalCall;
        o.password = QStringLiteral("secret");
        o.directoryServers = {directory.server()};
        o.portBase = kTestPortBase;
        o.bindAddress = QStringLiteral("127.0.0.1");
        o.audioInput = QStringLiteral("none");
        o.audioOutput = QStringLiteral("none");
        link = std::make_unique<NativeLink>(o);
        if (!link->start()) {
            error = QStringLiteral("station: ") + link->statusText();
            return false;
        }
        factory = link->factory();
        client = factory->create();
        return true;
    }

    ~Loopback()
    {
        client.reset();
        factory.reset();
        link.reset();
        peer.stop();
    }

    bool linked() { return client->StationCount() > 0; }

    // Links to the peer; returns the time until Connected was raised, or a negative value.
    double connectMs()
    {
        bool connected = false;
        auto c = QObject::connect(client.get(), &EchoLinkClient::Connected, [&] { connected = true; });
        QElapsedTimer t;
        t.start();
        client->Connect(kPeer, true);
        const bool ok = runUntil(client.get(), &EchoLinkClient::Connected, [&] { return connected; });
        const double ms = double(t.nsecsElapsed()) / 1e6;
        QObject::disconnect(c);
        return ok ? ms : -1;
    }

    // Drops the link and waits until both ends have let it go.
    bool unlink()
    {
        const int from = peer.mark();
        client->DisconnectAll();
        if (!peer.waitForPrefix(QStringLiteral("disconnected "), kTimeoutMs, from))
            return false;
        QElapsedTimer t;
        t.start();
        while (linked() && t.elapsed() < kTimeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        pause(20); // let both ends finish tearing the old connection down before the next one
        return !linked();
    }
};

Loopback *g_loop = nullptr;

void report(benchmark::State &state, const char *name, const std::vector<double> &samples, double targetMs)
{
    const double median = medianMs(samples);
    state.counters["median_ms"] = median;
    const double first = samples.empty() ? 0 : samples.front();
    state.counters["first_ms"] = first;
    state.counters["samples"] = double(samples.size());
    std::printf("%s: median %.3f ms over %zu, first %.3f ms (target: median < %.0f ms)\n", name, median,
                samples.size(), first, targetMs);
    std::fflush(stdout);
}

} // namespace

static void BM_ConnectToLinked(benchmark::State &state)
{
    if (!g_loop) {
        state.SkipWithError("loopback set-up failed");
        return;
    }
    if (g_loop->linked() && !g_loop->unlink()) {
        state.SkipWithError("could not drop the earlier link");
        return;
    }
    std::vector<double> samples;
    for (auto _ : state) {
        const double ms = g_loop->connectMs();
        if (ms < 0) {
            state.SkipWithError("Connected was not raised");
            break;
        }
        state.SetIterationTime(ms / 1000.0);
        samples.push_back(ms);
        if (!g_loop->unlink()) {
            state.SkipWithError("the link did not drop");
            break;
        }
    }
    report(state, "connect to linked", samples, 100);
}
BENCHMARK(BM_ConnectToLinked)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

static void BM_ChatRoundTrip(benchmark::State &state)
{
    if (!g_loop) {
        state.SkipWithError("loopback set-up failed");
        return;
    }
    if (!g_loop->linked() && g_loop->connectMs() < 0) {
        state.SkipWithError("could not link to the peer");
        return;
    }
    EchoLinkClient *client = g_loop->client.get();
    QString awaited;
    bool answered = false;
    auto c = QObject::connect(client, &EchoLinkClient::ChatTextReceived,
                              [&](const QString &line) { answered = answered || line == awaited; });
    std::vector<double> samples;
    int n = 0;
    for (auto _ : state) {
        // A different frequency each time, so an old answer can't be taken for this one.
        const QString freq = QStringLiteral("14.%1").arg(2000 + (n++ % 8000), 4, 10, QLatin1Char('0'));
        awaited = kPeer + QStringLiteral(">FN") + freq + QStringLiteral(" USB");
        answered = false;
        QElapsedTimer t;
        t.start();
        client->SendChatText(QStringLiteral("FN") + freq);
        const bool ok = runUntil(client, &EchoLinkClient::ChatTextReceived, [&] { return answered; });
        const double ms = double(t.nsecsElapsed()) / 1e6;
        if (!ok) {
            state.SkipWithError("the peer's answer did not arrive");
            break;
        }
        state.SetIterationTime(ms / 1000.0);
        samples.push_back(ms);
    }
    QObject::disconnect(c);
    report(state, "chat round trip", samples, 5);
}
BENCHMARK(BM_ChatRoundTrip)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    {
        Loopback loop;
        if (loop.setUp())
            g_loop = &loop;
        else
            std::fprintf(stderr, "bench_nativelink: %s\n", qPrintable(loop.error));
        benchmark::RunSpecifiedBenchmarks();
        g_loop = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
