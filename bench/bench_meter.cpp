// One buffer through the level meter as the recorder hands it over: the copy, both channel
// peaks over 5,120 samples and the drawing of the large meter (background and gradient bar).

#include "audio/GradH.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

using namespace tavrin;

static void BM_MeterBuffer(benchmark::State &state)
{
    GradH meter;
    meter.setVUSize(2);
    meter.setBackColor(Qt::black);
    meter.setGradientColor1(QColor(0, 0, 255));
    meter.setGradientColor2(QColor(255, 255, 0));
    std::vector<qint16> buffer(5120);
    for (size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<qint16>(std::lround(std::sin(double(i) * 0.07) * 20000.0));
    QImage surface(meter.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        meter.oRec_GotData(buffer, 10240);
        QPainter painter(&surface);
        meter.paintMeter(painter);
        painter.end();
        benchmark::DoNotOptimize(surface.constBits());
    }
}
BENCHMARK(BM_MeterBuffer)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
