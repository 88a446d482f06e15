// The main window's level meter: where it sits and how it is set up, started as the last
// start-up step, stopped on the exit paths.

#include "audio/GradH.h"
#include "audio/WaveInRecorder.h"
#include "core/CoreTestKit.h"
#include "core/MainWindow.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tavrin;
using tavrin::test::Rig;

class MainMeterTest : public QObject {
    Q_OBJECT
private slots:
    void configuredInsideItsFrame();
    void stoppedWhenTheWindowCloses();
};

void MainMeterTest::configuredInsideItsFrame()
{
    QTemporaryDir dir;
    Rig rig(dir.path());
    QVERIFY(rig.start());
    auto *frame = rig.find<QWidget>(QStringLiteral("Frame13"));
    QVERIFY(frame);
    auto *meter = frame->findChild<GradH *>(QStringLiteral("GradH1"));
    QVERIFY(meter);
    QCOMPARE(meter->VUSize(), 2);
    QCOMPARE(meter->size(), QSize(352, 20));
    QCOMPARE(meter->BackColor(), QColor(Qt::black));
    QCOMPARE(meter->GradientColor1(), QColor(0, 0, 255));
    QCOMPARE(meter->GradientColor2(), QColor(255, 255, 0));
    QCOMPARE(meter->Channel(), 0);
    // Hidden until the transmitter is keyed; the frame is wide enough for the whole bar.
    QVERIFY(!frame->isVisible());
    QVERIFY(frame->minimumSizeHint().width() >= meter->width());
}

void MainMeterTest::stoppedWhenTheWindowCloses()
{
    QTemporaryDir dir;
    Rig rig(dir.path());
    QVERIFY(rig.start());
    auto *meter = rig.find<GradH>(QStringLiteral("GradH1"));
    QVERIFY(meter);
    meter->Preview();
    QVERIFY(meter->barRight() > 0);
    rig.window()->close();
    QCOMPARE(meter->barRight(), 0);
    QVERIFY(!meter->oRec().IsRecording());
    QVERIFY(!meter->oRec().notifyObject());
}

QTEST_MAIN(MainMeterTest)
#include "test_main_meter.moc"
