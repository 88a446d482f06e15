#include "app/ProgramStyle.h"

#include <QApplication>
#include <QIconEngine>
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

class ProgramStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap which, const QStyleOption *option, const QWidget *widget) const override
    {
        return QIcon(new DeferredStandardIcon(baseStyle(), which, option, widget));
    }
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
