// tavrin-node on loopback with Hamlib's dummy rig: the node program on 127.0.0.7, an operator's
// station (the native link, as Tavrin uses it) on 127.0.0.6, the fake directory on 127.0.0.6,
// port base 26198 at both ends.
//   BM_CommandToReport  "FN…" sent until the node's report of the rig's read-back arrives
//                       (target: median < 20 ms).
//   BM_CommandToReplyWithoutRig  "FN" outside the node's ranges, refused without the rig:
//                       the link's and the node's share of the above.
//   BM_DummyRigCalls    the same set-and-read-back straight on Hamlib's dummy rig in-process.
//                       Hamlib 4.5's dummy sleeps 20 ms in each of set_freq, get_freq and
//                       get_mode (as a real CAT rig takes its time), so a report costs three
//                       such sleeps, longer on a loaded machine: that, not the link or the
//                       node, is what keeps BM_CommandToReport above its target here.
//   BM_NodeIdle         the node's CPU share and resident memory with the link up and no
//                       audio, over 30 s (targets: < 1 % of a core, < 40 MB).
#include "echolink/native/NativeLink.h"
#include "node/HamlibRig.h"
#include "node/RigController.h"
#include "support/FakeDirectory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace tavrin;
using namespace tavrin::test;

namespace {

constexpr int kTimeoutMs = 10000;
constexpr int kBindTries = 120;
constexpr int kPortBase = 26198;
constexpr quint16 kDirectoryPort = 26200;
const QString kLocalCall = QStringLiteral("XX1TAV-L");
const QString kNodeCall = QStringLiteral("XX9ABC-L");
const QString kNodeAddress = QStringLiteral("127.0.0.7");
const QHostAddress kOurAddress(QStringLiteral("127.0.0.6"));

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

template <class Done>
bool runUntil(Done done, int timeoutMs = kTimeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return done();
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Loopback {
    QTemporaryDir dir;
    FakeDirectory directory;
    QProcess node;
    std::unique_ptr<NativeLink> link;
    std::unique_ptr<EchoLinkClientFactory> factory;
    std::unique_ptr<EchoLinkClient> client;
    QString error;

    bool setUp()
    {
        bool listening = directory.listen(kOurAddress, kDirectoryPort);
        for (int i = 0; i < kBindTries && !listening; ++i) {
            pause(250);
            listening = directory.listen(kOurAddress, kDirectoryPort);
        }
        if (!listening) {
            error = QStringLiteral("directory: ") + directory.errorString();
            return false;
        }
        FakeStation station;
        station.callsign = kNodeCall;
        station.address = kNodeAddress;
        directory.setStations({station});

        const QString password = dir.filePath(QStringLiteral("password"));
        QFile pw(password);
        if (!pw.open(QIODevice::WriteOnly) || pw.write("secret\n") < 0)
            return false;
        pw.close();
        pw.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        const QString config = dir.filePath(QStringLiteral("node.ini"));
        QFile ini(config);
        if (!ini.open(QIODevice::WriteOnly))
            return false;
        ini.write("[station]\ncallsign=" + kNodeCall.toLatin1() + "\npassword_file=" + password.toUtf8()
                  + "\n[directory]\nservers=" + directory.server().toLatin1() + "\nport_base="
                  + QByteArray::number(kPortBase) + "\nbind_address=" + kNodeAddress.toLatin1()
                  + "\n[rig]\nmodel=1\n[audio]\noutput=none\n[access]\nallow=XX1TAV\n");
        ini.close();
        node.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        node.start(QStringLiteral(TAVRIN_NODE_PATH), {QStringLiteral("--config"), config});
        if (!node.waitForStarted(kTimeoutMs)) {
            error = QStringLiteral("tavrin-node did not start");
            return false;
        }
        // The node is online once the directory has its login.
        if (!runUntil([&] { return !directory.logins().isEmpty(); })) {
            error = QStringLiteral("tavrin-node did not log in");
            return false;
        }

        NativeLinkOptions o;
        o.callsign = kLocalCall;
        o.password = QStringLiteral("secret");
        o.directoryServers = {directory.server()};
        o.portBase = kPortBase;
        o.bindAddress = kOurAddress.toString();
        o.audioInput = QStringLiteral("none");
        o.audioOutput = QStringLiteral("none");
        link = std::make_unique<NativeLink>(o);
        if (!link->start()) {
            error = QStringLiteral("station: ") + link->statusText();
            return false;
        }
        factory = link->factory();
        client = factory->create();
        client->Connect(kNodeCall, true);
        if (!runUntil([&] { return client->StationCount() > 0; })) {
            error = QStringLiteral("could not link to the node");
            return false;
        }
        return true;
    }

    ~Loopback()
    {
        client.reset();
        factory.reset();
        link.reset();
        node.terminate();
        node.waitForFinished(kTimeoutMs);
    }
};

Loopback *g_loop = nullptr;

qint64 procTicks(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    // Fields after the command name (which may hold blanks): utime and stime are 14 and 15.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

double rssMb(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

} // namespace

// Sends `command(n)` for each iteration and times it until a line from the node starting with
// `answer(n)` arrives.
template <class Command, class Answer>
void timeCommands(benchmark::State &state, const char *what, const char *target, Command command, Answer answer)
{
    if (!g_loop) {
        state.SkipWithError("loopback set-up failed");
        return;
    }
    EchoLinkClient *client = g_loop->client.get();
    QString awaited;
    bool answered = false;
    auto c = QObject::connect(client, &EchoLinkClient::ChatTextReceived,
                              [&](const QString &line) { answered = answered || line.startsWith(awaited); });
    std::vector<double> samples;
    int n = 0;
    for (auto _ : state) {
        awaited = kNodeCall + QLatin1Char('>') + answer(n);
        answered = false;
        QElapsedTimer t;
        t.start();
        client->SendChatText(command(n));
        const bool ok = runUntil([&] { return answered; });
        const double ms = double(t.nsecsElapsed()) / 1e6;
        ++n;
        if (!ok) {
            state.SkipWithError("the node's answer did not arrive");
            break;
        }
        state.SetIterationTime(ms / 1000.0);
        samples.push_back(ms);
    }
    QObject::disconnect(c);
    state.counters["median_ms"] = median(samples);
    std::printf("%s: median %.3f ms over %zu%s\n", what, median(samples), samples.size(), target);
    std::fflush(stdout);
}

// A different frequency each time, so an old answer can't be taken for this one.
QString benchFrequency(int n) { return QStringLiteral("14.%1").arg(1000 + (n % 3000), 4, 10, QLatin1Char('0')); }

static void BM_CommandToReport(benchmark::State &state)
{
    timeCommands(
        state, "command to report", " (target: < 20 ms)", [](int n) { return QStringLiteral("FN") + benchFrequency(n); },
        [](int n) { return QStringLiteral("FN") + benchFrequency(n) + QLatin1Char(' '); });
}
BENCHMARK(BM_CommandToReport)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

// The same round trip with a command the node answers without the rig (a frequency outside
// its ranges, refused): the link's and the node's own share of the above.
static void BM_CommandToReplyWithoutRig(benchmark::State &state)
{
    const auto outside = [](int n) { return QStringLiteral("0.%1").arg(1000 + (n % 3000), 4, 10, QLatin1Char('0')); };
    timeCommands(
        state, "command to reply without the rig", "", [&](int n) { return QStringLiteral("FN") + outside(n); },
        [&](int n) { return QStringLiteral("FN") + outside(n) + QStringLiteral(" refused"); });
}
BENCHMARK(BM_CommandToReplyWithoutRig)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

static void BM_DummyRigCalls(benchmark::State &state)
{
    node::HamlibRig rig{node::HamlibOptions{}};
    std::vector<double> samples;
    int n = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        benchmark::DoNotOptimize(node::RigController::setFrequency(14'100'000 + 100 * (n++ % 3000))(rig));
        const double ms = double(t.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1000.0);
        samples.push_back(ms);
    }
    state.counters["median_ms"] = median(samples);
    std::printf("dummy rig set and read-back alone: median %.3f ms over %zu\n", median(samples), samples.size());
    std::fflush(stdout);
}
BENCHMARK(BM_DummyRigCalls)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

static void BM_NodeIdle(benchmark::State &state)
{
    if (!g_loop) {
        state.SkipWithError("loopback set-up failed");
        return;
    }
    const qint64 pid = g_loop->node.processId();
    const int seconds = qEnvironmentVariableIntValue("TAVRIN_BENCH_IDLE_S") > 0 ? qEnvironmentVariableIntValue("TAVRIN_BENCH_IDLE_S") : 30;
    for (auto _ : state) {
        pause(3000); // settle after the commands
        const qint64 before = procTicks(pid);
        QElapsedTimer t;
        t.start();
        pause(seconds * 1000);
        const double cpu = double(procTicks(pid) - before) / double(sysconf(_SC_CLK_TCK)) / (double(t.elapsed()) / 1000.0) * 100.0;
        const double rss = rssMb(pid);
        const bool linked = g_loop->client->StationCount() > 0;
        state.counters["cpu_percent"] = cpu;
        state.counters["rss_mb"] = rss;
        std::printf("node idle with link %s: %.2f %% of a core, %.1f MB resident (targets: < 1 %%, < 40 MB)\n",
                    linked ? "up" : "DOWN", cpu, rss);
        std::fflush(stdout);
    }
}
BENCHMARK(BM_NodeIdle)->Iterations(1)->Unit(benchmark::kSecond);

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
            std::fprintf(stderr, "bench_node: %s\n", qPrintable(loop.error));
        benchmark::RunSpecifiedBenchmarks();
        g_loop = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
