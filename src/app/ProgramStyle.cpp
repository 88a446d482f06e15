#include "app/ProgramStyle.h"

#include <QApplication>
#include <qdrawutil.h>
#include <QGroupBox>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>

namespace tavrin {

namespace {

// The icon the base style would give, fetched on first use.
class DeferredStandardIcon : public QIconEngine {
public:
    DeferredStandardIcon(QStyle *base, QStyle::StandardPixmap which, const QStyleOption *option,
                         const QWidget *widget)
        : base_(base), which_(which), widget_(const_cast<QWidget *>(widget))
    {
        if (option)
            option_ = *option;
        hasOption_ = option != nullptr;
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    bool isNull() override { return icon().isNull(); }
    QString key() const override { return QStringLiteral("DeferredStandardIcon"); }
    QIconEngine *clone() const override
    {
        auto *copy = new DeferredStandardIcon(base_, which_, hasOption_ ? &option_ : nullptr, widget_);
        copy->icon_ = icon_;
        copy->loaded_ = loaded_;
        return copy;
    }

private:
    const QIcon &icon()
    {
        if (!loaded_) {
            loaded_ = true;
            if (base_)
                icon_ = base_->standardIcon(which_, hasOption_ ? &option_ : nullptr, widget_);
        }
        return icon_;
    }

    QPointer<QStyle> base_;
    QStyle::StandardPixmap which_;
    QStyleOption option_;
    bool hasOption_ = false;
    QPointer<QWidget> widget_;
    QIcon icon_;
    bool loaded_ = false;
};

// Fusion's group-box frame: its picture, drawn exactly as Fusion draws it. Fusion reads the
// picture by file name with the format left open, and Qt then loads every image plug-in to
// ask whether it reads PNG before its own reader is tried: the first group box painted paid
// for loading the GIF, ICO and JPEG plug-ins and their libraries. Read here as PNG with the
// plug-ins left alone. Fusion's own figures: the frame starts below the title by this much.
constexpr int kFusionGroupBoxTopMargin = 3;
constexpr char kFusionGroupBoxPicture[] = ":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png";

class ProgramStyle : public QProxyStyle {
public:
    explicit ProgramStyle(QStyle *base)
        : QProxyStyle(base), fusion_(base && base->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0)
    {
    }

    QIcon standardIcon(StandardPixmap which, const QStyleOption *option, const QWidget *widget) const override
    {
        return QIcon(new DeferredStandardIcon(baseStyle(), which, option, widget));
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element == PE_FrameGroupBox && fusion_ && option && !groupBoxFrame().isNull()) {
            int topMargin = kFusionGroupBoxTopMargin;
            const auto *box = qobject_cast<const QGroupBox *>(widget);
            if (!box || box->isCheckable() || !box->title().isEmpty())
                topMargin += qMax(baseStyle()->pixelMetric(PM_ExclusiveIndicatorHeight), option->fontMetrics.height());
            qDrawBorderPixmap(painter, option->rect.adjusted(0, topMargin, 0, 0), QMargins(6, 6, 6, 6),
                              groupBoxFrame());
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

private:
    const QPixmap &groupBoxFrame() const
    {
        if (!frameRead_) {
            frameRead_ = true;
            QImageReader reader(QString::fromLatin1(kFusionGroupBoxPicture), "png");
            reader.setAutoDetectImageFormat(false);
            frame_ = QPixmap::fromImage(reader.read());
        }
        return frame_;
    }

    const bool fusion_;
    mutable bool frameRead_ = false;
    mutable QPixmap frame_;
};

} // namespace

void installProgramStyle()
{
#ifndef Q_OS_WIN
    // The proxy takes the style Qt chose for this platform as its base (and its parent, so
    // the application does not delete it); the application owns the proxy. Not on Windows,
    // where some widgets look for the native style's own class.
    QApplication::setStyle(new ProgramStyle(QApplication::style()));
#endif
}

} // namespace tavrin
