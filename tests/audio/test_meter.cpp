// The recorder's ring and notification path (driven without a device) and the level meter:
// peaks, bar width and rounding, sizes, drawing, start and stop.

#include "audio/GradH.h"
#include "audio/VU.h"
#include "audio/WaveInRecorder.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

using namespace tavrin;

namespace {

QByteArray bytesOf(std::initializer_list<qint16> samples, int repeatTo = 0)
{
    std::vector<qint16> v(samples);
    if (repeatTo > 0) {
        std::vector<qint16> r;
        while (static_cast<int>(r.size()) < repeatTo)
            r.insert(r.end(), v.begin(), v.end());
        r.resize(static_cast<size_t>(repeatTo));
        v = r;
    }
    return QByteArray(reinterpret_cast<const char *>(v.data()), qsizetype(v.size() * 2));
}

// A buffer of `n` stereo samples with the given left and right values.
std::vector<qint16> stereo(int n, qint16 left, qint16 right)
{
    std::vector<qint16> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<size_t>(i)] = i % 2 ? right : left;
    return v;
}

bool near(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) <= 4 && std::abs(a.green() - b.green()) <= 4 && std::abs(a.blue() - b.blue()) <= 4;
}

} // namespace

class MeterTest : public QObject {
    Q_OBJECT
private slots:
    void ringCyclesAndRequeuesInOrder();
    void stopWithBuffersPending();
    void stopFromInsideGotData();
    void settingsOnlyWhileIdle();
    void peaks();
    void barWidthAndRounding();
    void sizesFollowVUSize();
    void drawingShadesTheLitPart();
    void restLevelAfterPropertyChanges();
    void colorValues();
};

void MeterTest::ringCyclesAndRequeuesInOrder()
{
    WaveInRecorder rec;
    rec.setBufferCount(3);
    rec.setBufferSize(8);
    QList<QPair<QList<qint16>, qint32>> got;
    connect(&rec, &WaveInRecorder::GotData, this, [&](const std::vector<qint16> &buf, qint32 len) {
        got.append({QList<qint16>(buf.begin(), buf.end()), len});
    });
    QVERIFY(rec.startWithoutDeviceForTest());
    QVERIFY(rec.IsRecording());
    QCOMPARE(rec.queuedBuffers(), (std::vector<int>{0, 1, 2}));

    // Two and a half buffers, in odd-sized pieces: two fill, the third waits.
    QByteArray data = bytesOf({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    rec.feedForTest(data.constData(), 3);
    rec.feedForTest(data.constData() + 3, 17);
    QCOMPARE(rec.queuedBuffers(), (std::vector<int>{2}));
    QVERIFY(got.isEmpty()); // delivered from the event loop, never from inside the write
    QCoreApplication::sendPostedEvents();
    QCOMPARE(got.size(), 2);
    QCOMPARE(got.at(0).first, (QList<qint16>{1, 2, 3, 4}));
    QCOMPARE(got.at(0).second, 8);
    QCOMPARE(got.at(1).first, (QList<qint16>{5, 6, 7, 8}));
    // Handed-back buffers go to the end of the queue, after the one being filled.
    QCOMPARE(rec.queuedBuffers(), (std::vector<int>{2, 0, 1}));

    // With nothing queued, sound is dropped rather than overwriting a buffer in use.
    const QByteArray more = bytesOf({11, 12, 13, 14}, 16);
    rec.feedForTest(more.constData(), more.size());
    QCOMPARE(rec.queuedBuffers(), std::vector<int>{});
    QCOMPARE(rec.droppedBytes(), 32 - 4 - 8 - 8);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(got.size(), 5);
    QCOMPARE(got.at(2).first, (QList<qint16>{9, 10, 11, 12}));
    QCOMPARE(rec.queuedBuffers(), (std::vector<int>{2, 0, 1}));
    QVERIFY(rec.StopRecord());

    // A size that is no whole number of stereo frames: each buffer still starts on a left
    // sample, and the count says how much was filled.
    got.clear();
    rec.setBufferSize(10);
    QVERIFY(rec.startWithoutDeviceForTest(2));
    rec.feedForTest(data.constData(), data.size());
    QCoreApplication::sendPostedEvents();
    QCOMPARE(got.size(), 2);
    QCOMPARE(got.at(1).first, (QList<qint16>{5, 6, 7, 8, 0}));
    QCOMPARE(got.at(1).second, 8);
    rec.StopRecord();
    rec.setBufferSize(2); // less than one frame
    QVERIFY(!rec.startWithoutDeviceForTest(2));
}

void MeterTest::stopWithBuffersPending()
{
    WaveInRecorder rec;
    int calls = 0;
    connect(&rec, &WaveInRecorder::GotData, this, [&] { ++calls; });
    QVERIFY(rec.StopRecord()); // idle: nothing to do, still true
    QVERIFY(rec.startWithoutDeviceForTest());
    QVERIFY(rec.findChild<QObject *>(QStringLiteral("WAVE_IN_WINDOW")));
    const QByteArray data(10240 * 3, '\1');
    rec.feedForTest(data.constData(), data.size());
    QVERIFY(rec.StopRecord());
    QVERIFY(!rec.IsRecording());
    QVERIFY(!rec.findChild<QObject *>(QStringLiteral("WAVE_IN_WINDOW")));
    // The buffers posted before the stop are never delivered, even after a new start.
    QVERIFY(rec.startWithoutDeviceForTest());
    QCoreApplication::sendPostedEvents();
    QCOMPARE(calls, 0);
    QCOMPARE(rec.queuedBuffers().size(), size_t(5));
}

void MeterTest::stopFromInsideGotData()
{
    WaveInRecorder rec;
    int calls = 0;
    connect(&rec, &WaveInRecorder::GotData, this, [&] {
        ++calls;
        rec.StopRecord();
    });
    QVERIFY(rec.startWithoutDeviceForTest());
    const QByteArray data(10240 * 2, '\1');
    rec.feedForTest(data.constData(), data.size());
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(calls, 1);
    QVERIFY(!rec.IsRecording());
    QVERIFY(!rec.findChild<QObject *>(QStringLiteral("WAVE_IN_WINDOW")));
}

void MeterTest::settingsOnlyWhileIdle()
{
    WaveInRecorder rec;
    QCOMPARE(rec.BufferCount(), 5);
    QCOMPARE(rec.BufferSize(), 10240);
    QCOMPARE(rec.SelectedDevice(), -1);
    QVERIFY(rec.startWithoutDeviceForTest());
    rec.setBufferCount(2);
    rec.setBufferSize(4);
    QCOMPARE(rec.BufferCount(), 5);
    QCOMPARE(rec.BufferSize(), 10240);
    QVERIFY(!rec.StartRecord(44100, 2)); // never twice
    rec.StopRecord();
    // A ring that could hold nothing is refused instead of spinning.
    rec.setBufferSize(1);
    QVERIFY(!rec.startWithoutDeviceForTest());
    rec.setBufferSize(10240);
    rec.setBufferCount(0);
    QVERIFY(!rec.StartRecord(44100, 2));
    QVERIFY(!rec.notifyObject());
    QVERIFY(!rec.SelectDevice(-1));
    QCOMPARE(rec.MixerLineCount(), 0);
    QCOMPARE(rec.MixerLineName(0), QString());
    QCOMPARE(rec.SelectedMixerLine(), -1);
}

void MeterTest::peaks()
{
    QCOMPARE(GradH::ChannelPeak(stereo(5120, 0, 0), 0, 2), 1);
    QCOMPARE(GradH::ChannelPeak(stereo(5120, -32768, 5), 0, 2), 32768);
    QCOMPARE(GradH::ChannelPeak(stereo(5120, -32768, 5), 1, 2), 5);
    QCOMPARE(GradH::ChannelPeak(stereo(4, 100, 7), 9, 2), 1);
    std::vector<qint16> odd{0, 3, -9, -4, 2}; // right channel of an odd-length buffer
    QCOMPARE(GradH::ChannelPeak(odd, 1, 2), 4);
    QCOMPARE(GradH::ChannelPeak(odd, 0, 2), 9);
}

void MeterTest::barWidthAndRounding()
{
    GradH meter;
    meter.setVUSize(2);
    QCOMPARE(meter.width(), 352);
    meter.oRec_GotData(stereo(5120, 0, 0), 10240);
    QCOMPARE(meter.level(), 1.0f / 32768);
    QCOMPARE(meter.barRight(), 0);
    meter.oRec_GotData(stereo(5120, -32768, 0), 10240);
    QCOMPARE(meter.barRight(), 352);
    meter.oRec_GotData(stereo(5120, 32767, 0), 10240);
    QCOMPARE(meter.barRight(), 352);
    // Left loud, right silent: a right-channel meter stays empty.
    meter.setChannel(1);
    meter.oRec_GotData(stereo(5120, 32767, 0), 10240);
    QCOMPARE(meter.barRight(), 0);
    // 352 * 3/64 = 16.5 rounds to even 16; 352 * 5/64 = 27.5 rounds to 28.
    meter.oRec_GotData(stereo(5120, 0, 1536), 10240);
    QCOMPARE(meter.barRight(), 16);
    meter.oRec_GotData(stereo(5120, 0, 2560), 10240);
    QCOMPARE(meter.barRight(), 28);
    // Whatever the byte count says, the whole array counts.
    auto late = stereo(5120, 0, 0);
    late[5119] = 16384;
    meter.oRec_GotData(late, 2);
    QCOMPARE(meter.barRight(), 176);
    QCOMPARE(meter.barBottom(), 20);
}

void MeterTest::sizesFollowVUSize()
{
    GradH meter;
    QCOMPARE(meter.VUSize(), 0);
    QCOMPARE(meter.size(), QSize(89, 6)); // 1335 x 90 twips at 96 dpi
    meter.setVUSize(1);
    QCOMPARE(meter.size(), QSize(220, 10));
    meter.resize(500, 500); // the size class wins over an outside resize
    QCOMPARE(meter.size(), QSize(220, 10));
    meter.setVUSize(3);
    QCOMPARE(meter.size(), QSize(0, 0));
    meter.oRec_GotData(stereo(5120, 32767, 0), 10240);
    QCOMPARE(meter.barRight(), 0);
    QCOMPARE(meter.barBottom(), 0);
}

void MeterTest::drawingShadesTheLitPart()
{
    GradH meter;
    meter.setVUSize(2);
    meter.setBackColor(Qt::black);
    meter.setGradientColor1(QColor(0, 0, 255));
    meter.setGradientColor2(QColor(255, 255, 0));
    meter.show(); // the first resize event repaints at rest; let it pass first
    QVERIFY(QTest::qWaitForWindowExposed(&meter));
    // A quarter-scale bar still runs through the whole colour range.
    meter.oRec_GotData(stereo(5120, 8192, 0), 10240);
    QCOMPARE(meter.barRight(), 88);
    const QImage img = meter.grab().toImage();
    QVERIFY2(near(img.pixelColor(0, 10), QColor(0, 0, 255)), qPrintable(img.pixelColor(0, 10).name()));
    const QColor end = img.pixelColor(87, 10);
    QVERIFY2(near(end, QColor(255, 255, 0)), qPrintable(end.name()));
    const QColor mid = img.pixelColor(44, 10);
    QVERIFY(mid.red() > 100 && mid.red() < 155 && mid.blue() > 100 && mid.blue() < 155);
    QCOMPARE(img.pixelColor(88, 10), QColor(Qt::black));
    QCOMPARE(img.pixelColor(351, 19), QColor(Qt::black));

    meter.Preview();
    QCOMPARE(meter.barRight(), 176);
    meter.StopVU();
    QCOMPARE(meter.barRight(), 0);
    const QImage empty = meter.grab().toImage();
    QCOMPARE(empty.pixelColor(0, 0), QColor(Qt::black));
    QVERIFY(!meter.oRec().IsRecording());
}

void MeterTest::restLevelAfterPropertyChanges()
{
    GradH meter;
    QCOMPARE(meter.GradientColor1(), QColor(0, 255, 0));
    QCOMPARE(meter.GradientColor2(), QColor(255, 0, 0));
    QCOMPARE(meter.BackColor(), QColor(Qt::black));
    QVERIFY(!meter.backColorChanged());
    const std::vector<qint16> loud = stereo(5120, 32767, 0);
    meter.oRec_GotData(loud, 10240);
    QVERIFY(meter.barRight() > 0);
    meter.setGradientColor1(Qt::blue);
    QCOMPARE(meter.barRight(), 0);
    meter.oRec_GotData(loud, 10240);
    meter.setGradientColor2(Qt::yellow);
    QCOMPARE(meter.barRight(), 0);
    meter.oRec_GotData(loud, 10240);
    meter.setBackColor(QColor(192, 192, 192));
    QCOMPARE(meter.barRight(), 0);
    QVERIFY(meter.backColorChanged());
}

void MeterTest::colorValues()
{
    QCOMPARE(VU::colorFromValue(16711680), QColor(0, 0, 255));
    QCOMPARE(VU::colorFromValue(65535), QColor(255, 255, 0));
    QCOMPARE(VU::valueFromColor(QColor(0, 255, 0)), GradH::kDefaultGradientColor1);
    QCOMPARE(VU::valueFromColor(QColor(255, 0, 0)), GradH::kDefaultGradientColor2);
}

QTEST_MAIN(MeterTest)
#include "test_meter.moc"
