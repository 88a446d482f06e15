#include "audio/GradH.h"

#include "audio/VU.h"
#include "audio/WaveInRecorder.h"

#include <QPaintEvent>
#if QT_CONFIG(accessibility)
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#endif
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tavrin {

namespace {
constexpr int kTwipsPerInch = 1440;
constexpr float kFullScale = 32768.0f;
constexpr int kInitialCopy = 1024;

int twipsToPixels(int twips, int dpi)
{
    return static_cast<int>(std::lround(double(twips) * dpi / kTwipsPerInch));
}

#if QT_CONFIG(accessibility)
// The meter as a screen reader reads it: the level of its last buffer in percent of full scale.
// It announces no change: a level that changes many times a second would drown everything else.
class MeterAccess final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit MeterAccess(GradH *meter) : QAccessibleWidget(meter, QAccessible::ProgressBar) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QStringLiteral("%1%").arg(percent());
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return percent(); }
    void setCurrentValue(const QVariant &) override {}
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    int percent() const
    {
        const float level = static_cast<GradH *>(widget())->level();
        return std::clamp(static_cast<int>(std::lround(level * 100.0f)), 0, 100);
    }
};

QAccessibleInterface *meterAccess(const QString &className, QObject *object)
{
    if (className != QLatin1String(GradH::staticMetaObject.className()))
        return nullptr;
    return new MeterAccess(static_cast<GradH *>(object));
}
#endif
} // namespace

GradH::GradH(QWidget *parent)
    : QWidget(parent), rec_(new WaveInRecorder(this)), reconnect_(new QTimer(this)), copy_(kInitialCopy, 0)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
#if QT_CONFIG(accessibility)
    static const bool readable = [] {
        QAccessible::installFactory(&meterAccess);
        return true;
    }();
    Q_UNUSED(readable);
    setAccessibleName(QStringLiteral("Input level"));
#endif
    connect(rec_, &WaveInRecorder::GotData, this, &GradH::oRec_GotData);
    reconnect_->setObjectName(QString::fromLatin1(kReconnectTimerName));
    reconnect_->setInterval(kReconnectMs);
    connect(reconnect_, &QTimer::timeout, this, &GradH::reconnectTick);
    connect(rec_, &WaveInRecorder::serverAnswered, this, [this](bool up) {
        if (up)
            reconnectTick();
        else if (running_)
            setToolTip(QString::fromLatin1(kServerSilentTip));
    });
    connect(rec_, &WaveInRecorder::recordingLost, this, [this] {
        DrawLevel(0);
        if (running_) {
            setToolTip(QString::fromLatin1(kInputLostTip));
            reconnect_->start();
        }
    });
    applySize();
    Repaint();
}

GradH::~GradH()
{
    rec_->StopRecord();
}

QSize GradH::sizeInTwips(int vuSize)
{
    switch (vuSize) {
    case 0:
        return {1335, 90};
    case 1:
        return {3300, 150};
    case 2:
        return {5280, 300};
    default:
        return {0, 0};
    }
}

void GradH::applySize()
{
    if (resizing_)
        return;
    resizing_ = true;
    const QSize twips = sizeInTwips(vuSize_);
    setFixedSize(twipsToPixels(twips.width(), logicalDpiX()), twipsToPixels(twips.height(), logicalDpiY()));
    resizing_ = false;
}

void GradH::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    applySize();
    Repaint();
}

void GradH::setVUSize(int NewSiz)
{
    vuSize_ = NewSiz;
    applySize();
    Repaint();
}

void GradH::setGradientColor1(const QColor &NewCol)
{
    color1_ = NewCol;
    Repaint();
}

void GradH::setGradientColor2(const QColor &NewCol)
{
    color2_ = NewCol;
    Repaint();
}

void GradH::setBackColor(const QColor &New_BackColor)
{
    back_ = New_BackColor;
    backColorChanged_ = true;
    Repaint();
}

void GradH::StartVU()
{
    running_ = true;
    if (!rec_->IsRecording() && !rec_->StartRecord(kSampleRate, kChannels)) {
        reconnect_->start();
        // Unknown here: the server answered, but no input could be opened. A lost device
        // keeps saying so until it is back.
        if (rec_->serverState() == WaveInRecorder::Server::Unknown && toolTip() != QLatin1String(kInputLostTip))
            setToolTip(QString::fromLatin1(kNoInputTip));
    } else {
        setToolTip({});
    }
}

void GradH::StopVU()
{
    running_ = false;
    setToolTip({});
    reconnect_->stop();
    DrawLevel(0);
    rec_->StopRecord();
}

void GradH::reconnectTick()
{
    if (!running_)
        return reconnect_->stop();
    StartVU();
    if (rec_->IsRecording())
        reconnect_->stop();
}

void GradH::Preview()
{
    DrawLevel(0.5f);
}

qint32 GradH::ChannelPeak(const std::vector<qint16> &samples, int start, int step)
{
    qint32 peak = 0;
    if (start >= 0 && step > 0)
        for (size_t i = static_cast<size_t>(start); i < samples.size(); i += static_cast<size_t>(step))
            peak = std::max(peak, std::abs(static_cast<qint32>(samples[i])));
    return peak == 0 ? 1 : peak;
}

void GradH::oRec_GotData(const std::vector<qint16> &intBuffer, qint32)
{
    // The whole array, whatever the byte count says; the copy keeps its capacity between buffers.
    copy_.assign(intBuffer.begin(), intBuffer.end());
    const qint32 left = ChannelPeak(copy_, 0, 2);
    const qint32 right = ChannelPeak(copy_, 1, 2);
    DrawLevel(static_cast<float>(channel_ == 0 ? left : right) / kFullScale);
}

void GradH::DrawLevel(float level)
{
    level_ = level;
    if (vuSize_ >= 0 && vuSize_ <= 2) {
        // nearbyint rounds halves to even in the default rounding mode.
        barRight_ = static_cast<int>(std::nearbyint(static_cast<float>(width()) * level));
        barBottom_ = height();
    } else {
        barRight_ = 0;
        barBottom_ = 0;
    }
    update();
}

void GradH::paintMeter(QPainter &painter) const
{
    painter.fillRect(rect(), back_);
    VU::GradientBox(painter, 0, 0, barRight_, barBottom_, color1_, color2_, 0);
}

void GradH::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintMeter(painter);
}

} // namespace tavrin
