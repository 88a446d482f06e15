// The chat window's incoming path inside the whole program: many ordinary lines (rate at the
// start against the rate after 90,000 lines, resident memory after 100,000), and single
// hostile lines (median time of each). The program is built through the composition root on
// a client whose events reach every window's handle, as in a run.
#include "QuietLink.h"

#include "core/MainWindow.h"
#include "core/Program.h"
#include "messaging/ChatWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace tavrin;

namespace {


// CPU time of the whole process: on a shared machine the rate per CPU second is the steadier
// figure beside the rate per wall second.
double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2)
        return 0;
    return fields.at(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

struct Whole {
    // `chatSettings`: the chat window's settings file as the run finds it.
    explicit Whole(const char *chatSettings = nullptr)
    {
        if (chatSettings) {
            QFile file(dir.filePath(QStringLiteral("kelmmessagebox.ini")));
            if (file.open(QIODevice::WriteOnly))
                file.write(chatSettings);
        }
        options.clientFactory = &link;
        options.settingsDir = dir.path();
        program = std::make_unique<Program>(options);
        started = program->start();
        if (!started)
            return;
        // No polling in between: only the chat handlers run.
        program->mainWindow()->timer(3)->stop();
        program->mainWindow()->timer(4)->stop();
        chat = program->registry().get<messaging::ChatWindow>(QStringLiteral("Messages"));
    }
    // Looked up as the scenario runner does, which builds a window's controls first.
    template <class T>
    T *in(const char *name) { return program->registry().control<T>(QStringLiteral("Messages"), QLatin1String(name)); }
    void clearLogs()
    {
        in<QPushButton>("ClearRX")->click();
        in<QPushButton>("Command4")->click();
        if (program->registry().window(QStringLiteral("Form126")))
            program->registry().control<QPushButton>(QStringLiteral("Form126"), QStringLiteral("Command2"))->click();
        if (auto *log = program->mainWindow()->findChild<QPlainTextEdit *>(QStringLiteral("RTB2")))
            log->clear();
    }

    QTemporaryDir dir;
    bench::QuietLink link;
    ProgramOptions options;
    std::unique_ptr<Program> program;
    messaging::ChatWindow *chat = nullptr;
    bool started = false;
};

// A deterministic mix: a fifth with emoticons, a tenth dropped by the "qrm" filter.
std::vector<QString> lineMix(int count)
{
    static const char *const senders[] = {"XX9XYZ-L>", "G4ABC>", "XX2AB-L>", "DL1QQ-R>", "W1AW>"};
    static const char *const texts[] = {
        "FN14.2300 USB", "good evening all, signals are fine here tonight", "QSL the report, 59 both ways",
        "band is open to the west, lots of stations calling", "CV? answered 13.8 V", "SR? ok, rotator at 270",
    };
    static const char *const smiles[] = {" :)", " ;-)", " :beer thanks", " :73 :ok", " :wx) rain"};
    std::vector<QString> lines;
    lines.reserve(size_t(count));
    for (int k = 0; k < count; ++k) {
        QString line = QLatin1String(senders[k % 5]) + QLatin1String(texts[(k / 5) % 6]);
        if (k % 5 == 2)
            line += QLatin1String(smiles[(k / 5) % 5]);
        if (k % 10 == 7)
            line += QStringLiteral(" lots of QRM here");
        line += QStringLiteral(" #") + QString::number(k);
        lines.push_back(line);
    }
    return lines;
}

// 100,000 lines in ten batches of 10,000; events run between bursts of 100 lines, as the
// event loop would (paints and layout included when the window is shown).
void BM_IncomingLines(benchmark::State &state)
{
    const double before = residentMegabytes();
    // The "qrm" filter, not case-sensitive, from the file: the hidden window's controls are
    // then never built, as in a run where nobody opens it.
    Whole whole("[SETTINGS]\r\nCHECK3=0\r\nFILTERTEXT1=qrm\r\n");
    if (!whole.started || !whole.chat) {
        state.SkipWithError("program did not start");
        return;
    }
    if (state.range(0) == 1)
        whole.chat->show();
    const std::vector<QString> lines = lineMix(10000);
    QCoreApplication::processEvents();
    const double started = residentMegabytes();
    std::vector<double> rates;
    std::vector<double> cpuRates;
    for (auto _ : state) {
        for (int batch = 0; batch < 10; ++batch) {
            QElapsedTimer t;
            t.start();
            const double cpu = cpuSeconds();
            for (size_t k = 0; k < lines.size(); ++k) {
                whole.link.raise(lines[k]);
                if (k % 100 == 99)
                    QCoreApplication::processEvents();
            }
            rates.push_back(double(lines.size()) / (double(t.nsecsElapsed()) / 1e9));
            cpuRates.push_back(double(lines.size()) / (cpuSeconds() - cpu));
        }
    }
    std::vector<double> sorted = rates;
    std::sort(sorted.begin(), sorted.end());
    state.counters["lines_per_s_median"] = sorted.at(sorted.size() / 2);
    std::sort(cpuRates.begin(), cpuRates.end());
    state.counters["lines_per_cpu_s_median"] = cpuRates.at(cpuRates.size() / 2);
    state.counters["lines_per_s_first10k"] = rates.front();
    state.counters["lines_per_s_last10k"] = rates.back();
    state.counters["last_vs_first"] = rates.back() / rates.front();
    state.counters["rss_MB_after_100k"] = residentMegabytes();
    state.counters["rss_MB_growth"] = residentMegabytes() - before;
    // From the started program (windows built, the chat window shown) to after the lines.
    state.counters["rss_MB_growth_lines"] = residentMegabytes() - started;
    state.counters["chat_blocks"] = whole.in<QPlainTextEdit>("RTB")->document()->blockCount();
}
BENCHMARK(BM_IncomingLines)->Arg(0)->Arg(1)->ArgName("shown")->Iterations(1)->Unit(benchmark::kMillisecond);

QString hostileLine(int kind)
{
    switch (kind) {
    case 0:
        return QStringLiteral("XX2AB-L>") + QString(64 * 1024, QLatin1Char('a'));
    case 1: {
        QString line = QStringLiteral("XX2AB-L>");
        for (int k = 0; k < 4096; ++k)
            line += QChar(char16_t(k % 32));
        return line;
    }
    case 2: {
        QByteArray bytes("XX2AB-L>");
        for (int k = 0; k < 4096; ++k)
            bytes += "\xC3\x28\xFF\xA0";
        return QString::fromUtf8(bytes);
    }
    case 3:
        return QStringLiteral(">");
    case 4:
        return QStringLiteral("~");
    case 6:
        return QStringLiteral("XX2AB-L>") + QString(400 * 1000, QLatin1Char('a'));
    case 7:
        return QStringLiteral("XX2AB-L>:XX1TVR-L~") + QString(64 * 1024, QLatin1Char('p'));
    case 8:
        return QStringLiteral("XX2AB-L>**XX1TVR** ") + QString(64 * 1024, QLatin1Char('s'));
    default: {
        QString line = QStringLiteral("XX2AB-L>");
        for (int k = 0; k < 10000; ++k)
            line += QStringLiteral(":) ");
        return line;
    }
    }
}

// One hostile line through the whole incoming path; the logs are emptied between lines. Shown:
// the main window, the chat window and the sysop box are on screen, and the time includes
// the layout and paint that follow the line.
void BM_HostileLine(benchmark::State &state)
{
    Whole whole;
    if (!whole.started || !whole.chat) {
        state.SkipWithError("program did not start");
        return;
    }
    const bool shown = state.range(1) == 1;
    if (shown) {
        whole.program->mainWindow()->show();
        whole.chat->show();
        if (QWidget *sysop = whole.program->registry().window(QStringLiteral("Form126")))
            sysop->show();
        QCoreApplication::processEvents();
    }
    const QString line = hostileLine(int(state.range(0)));
    for (auto _ : state) {
        whole.link.raise(line);
        if (shown)
            QCoreApplication::processEvents();
        state.PauseTiming();
        whole.clearLogs();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_HostileLine)
    // kind 0: 64 KiB, 1: NUL and controls, 2: invalid UTF-8, 3: ">", 4: "~", 5: 10,000 codes,
    // 6: a 400 KB word, 7: a private message of one 64 KiB word, 8: the same to the sysop
    ->ArgNames({"kind", "shown"})
    ->ArgsProduct({benchmark::CreateDenseRange(0, 8, 1), {0, 1}})
    ->Iterations(10)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

} // namespace

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
