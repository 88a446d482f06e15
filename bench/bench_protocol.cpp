// Cost of the main window's chat handler: one 200-character line that nothing recognises,
// and one frequency report. The whole program is built through the composition root on a
// do-nothing client, and the line arrives as the client's event, as it does in a run.
#include "core/FrequencyPanels.h"
#include "QuietLink.h"

#include "core/MainWindow.h"
#include "core/Program.h"

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <memory>

using namespace tavrin;

namespace {


struct Whole {
    Whole()
    {
        options.clientFactory = &factory;
        options.settingsDir = dir.path();
        program = std::make_unique<Program>(options);
        started = program->start();
        // No polling in between: only the chat handler runs.
        if (started) {
            program->mainWindow()->timer(3)->stop();
            program->mainWindow()->timer(4)->stop();
        }
    }
    EchoLinkClient &client() { return *program->mainWindow()->client(); }

    QTemporaryDir dir;
    bench::QuietLink factory;
    ProgramOptions options;
    std::unique_ptr<Program> program;
    bool started = false;
};

// 200 characters with stars, brackets and "FN" in them, but no ">FN", "/ver/" or marker.
QString unrecognisedLine()
{
    QString line = QStringLiteral("XX1AB-L>Good evening all * 73 from the club station, FN is the "
                                  "frequency command; see you on the net > 14.230 at 19:00 ** QSL ");
    while (line.size() < 200)
        line += QStringLiteral("abcdefghij");
    line.truncate(200);
    return line;
}

} // namespace

static void BM_ChatLineUnrecognised(benchmark::State &state)
{
    Whole whole;
    if (!whole.started) {
        state.SkipWithError("program did not start");
        return;
    }
    const QString line = unrecognisedLine();
    QLabel *display = whole.program->mainWindow()->frequencyPanels().display;
    const QString before = display->text();
    for (auto _ : state)
        emit whole.client().ChatTextReceived(line);
    if (display->text() != before)
        state.SkipWithError("the line was taken for a report");
}
BENCHMARK(BM_ChatLineUnrecognised)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

static void BM_ChatLineFrequencyReport(benchmark::State &state)
{
    Whole whole;
    if (!whole.started) {
        state.SkipWithError("program did not start");
        return;
    }
    const QString reports[2] = {QStringLiteral("XX9XYZ-L>FN14.2300 USB"), QStringLiteral("XX9XYZ-L>FN7.1450 LSB")};
    int flip = 0;
    for (auto _ : state)
        emit whole.client().ChatTextReceived(reports[++flip & 1]);
    if (whole.program->mainWindow()->frequencyPanels().display->text().isEmpty())
        state.SkipWithError("the report was not read");
}
BENCHMARK(BM_ChatLineFrequencyReport)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
