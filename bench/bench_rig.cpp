// Reply time of the rig server: 10,000 "f" polls from one client, one at a time, as a
// logging program polls. The whole program runs on its user-interface thread (here the
// main thread) with the server on; the client is a plain blocking socket on another thread.
// Reported: the median and the 99th percentile of one poll's round trip.
#include "QuietLink.h"

#include "core/MainWindow.h"
#include "core/Program.h"
#include "rig/RigServer.h"
#include "core/RigService.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace tavrin;

namespace {

constexpr int kPolls = 10000;


quint16 g_port = 0;

// One blocking round trip: "f\n" out, one line back.
bool poll(int fd)
{
    static const char request[] = "f\n";
    if (send(fd, request, 2, 0) != 2)
        return false;
    char buffer[64];
    for (;;) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        if (buffer[n - 1] == '\n')
            return true;
    }
}

void BM_FrequencyPolls(benchmark::State &state)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(g_port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        state.SkipWithError("cannot connect to the rig server");
        return;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

    std::vector<double> micros;
    micros.reserve(kPolls);
    for (auto _ : state) {
        micros.clear();
        for (int i = 0; i < kPolls; ++i) {
            const auto start = std::chrono::steady_clock::now();
            if (!poll(fd)) {
                state.SkipWithError("the connection failed");
                break;
            }
            micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        }
    }
    close(fd);
    if (micros.size() != size_t(kPolls))
        return;
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
    state.counters["max_us"] = micros.back();
}
BENCHMARK(BM_FrequencyPolls)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(false);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    QTemporaryDir dir;
    bench::QuietLink factory;
    ProgramOptions options;
    options.clientFactory = &factory;
    options.settingsDir = dir.path();
    Program program(options);
    if (!program.start())
        return 1;
    rig::RigSettings settings;
    settings.enabled = true;
    settings.port = 0;
    program.rigService()->apply(settings);
    g_port = program.rigService()->server().port();
    if (g_port == 0)
        return 1;

    // The benchmark runs beside the event loop, as a client program would.
    std::thread runner([] {
        benchmark::RunSpecifiedBenchmarks();
        QMetaObject::invokeMethod(qApp, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });
    const int code = app.exec();
    runner.join();
    benchmark::Shutdown();
    return code;
}
