// Cost of the main window's supervision ticks on the simulated link: one 300 ms link
// supervision tick (Timer3) and one 1 s clock and node recognition tick (Timer4), with the
// HF node linked, the way a station sits most of the day. The whole program is built
// through the composition root in a temporary settings directory.
#include "core/MainWindow.h"
#include "core/Program.h"
#include "core/StationPanel.h"
#include "echolink/SimulatedLink.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <memory>

using namespace tavrin;

namespace {

constexpr char kLocalCall[] = "XX1TVR-L";

struct Station {
    QTemporaryDir dir;
    std::unique_ptr<SimulatedLink> link;
    std::unique_ptr<EchoLinkClientFactory> factory;
    std::unique_ptr<Program> program;

    bool build()
    {
        SimulatedLink::Options linkOptions;
        linkOptions.backgroundActivity = false;
        link = std::make_unique<SimulatedLink>(linkOptions);
        factory = link->factoryFor(QString::fromLatin1(kLocalCall));
        link->linkStation(QString::fromLatin1(kLocalCall), link->nodeCall());
        ProgramOptions options;
        options.clientFactory = factory.get();
        options.settingsDir = dir.path();
        program = std::make_unique<Program>(options);
        if (!program->start())
            return false;
        // Let the link's events arrive and the window settle before measuring.
        QEventLoop loop;
        QTimer::singleShot(500, &loop, &QEventLoop::quit);
        loop.exec();
        // The ticks are called directly; the real timers must not interleave.
        for (int n = 1; n <= 7; ++n)
            program->mainWindow()->timer(n)->stop();
        // Measure the linked case only: one station, the node.
        program->mainWindow()->Timer3_Timer();
        return program->mainWindow()->stationPanel().stationCount->text() == QLatin1String("1");
    }
};

} // namespace

// Runs one main-window timer tick per iteration on a program with the node linked.
static void runTick(benchmark::State &state, void (MainWindow::*tick)())
{
    Station station;
    if (!station.build()) {
        state.SkipWithError("program did not start with the node linked");
        return;
    }
    MainWindow *w = station.program->mainWindow();
    for (auto _ : state)
        (w->*tick)();
}

static void BM_SupervisionTick(benchmark::State &state) { runTick(state, &MainWindow::Timer3_Timer); }
BENCHMARK(BM_SupervisionTick)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

static void BM_ClockTick(benchmark::State &state) { runTick(state, &MainWindow::Timer4_Timer); }
BENCHMARK(BM_ClockTick)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
