#pragma once
// A window's controls in a scroll area that never asks for more room than the screen has.
// Where the screen holds the controls (the usual case) the window is laid out exactly as
// without it; on a smaller screen (a netbook, or a large scale factor) the window fits on
// it and the controls scroll instead of hanging off its edge.

#include <QFrame>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include <functional>

namespace tavrin::ui {

class ScreenFitArea : public QScrollArea {
public:
    // `around`: what the window adds around the area (its menu and status bars, margins).
    explicit ScreenFitArea(QWidget *parent, std::function<QSize()> around = {})
        : QScrollArea(parent), around_(std::move(around))
    {
        setObjectName(QStringLiteral("ScreenFitArea"));
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
        // Tab goes to the controls; the area scrolls the focused one into view.
        setFocusPolicy(Qt::NoFocus);
    }

    QSize sizeHint() const override { return widget() ? widget()->sizeHint() : QScrollArea::sizeHint(); }

    QSize minimumSizeHint() const override
    {
        if (!widget())
            return QScrollArea::minimumSizeHint();
        const QSize needed = widget()->minimumSizeHint();
        const QSize room = roomOnScreen();
        if (room.isEmpty() || (needed.width() <= room.width() && needed.height() <= room.height()))
            return needed;
        // Too small a screen: what it holds, with room for the scroll bars that then show.
        const int bar = verticalScrollBar()->sizeHint().width();
        QSize fit = needed.boundedTo(room);
        if (fit.width() < needed.width())
            fit.rheight() = std::min(room.height(), needed.height() + bar);
        if (fit.height() < needed.height())
            fit.rwidth() = std::min(room.width(), needed.width() + bar);
        return fit;
    }

    // The room for the area on the window's screen: the screen less the task bar, the
    // window's title bar and frame, and what the window puts around the area.
    QSize roomOnScreen() const
    {
        const QScreen *s = screen();
        if (!s)
            return {};
        const QWidget *top = window();
        QSize frame = top->frameGeometry().size() - top->geometry().size();
        if (!top->isVisible() || frame.isEmpty())
            frame = kFrameAllowance; // not known before the window shows
        return s->availableGeometry().size() - frame - (around_ ? around_() : QSize());
    }

private:
    // A title bar and borders, as most desktops draw them.
    static constexpr QSize kFrameAllowance{16, 40};
    std::function<QSize()> around_;
};

} // namespace tavrin::ui
