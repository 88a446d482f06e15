#pragma once
// Tells a click in a log from the operator selecting text in it: a left press and release in
// about the same place is a click; a drag that selects text to copy, or another button (the
// menu), is not. Fed every event of the log's viewport, it says yes once per click.
//
// Thread: user-interface thread.

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPoint>

#include <optional>

namespace tavrin {

class PlainClick {
public:
    // True when `event` ends a plain left click.
    bool clicked(const QEvent *event)
    {
        if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease)
            return false;
        const auto *mouse = static_cast<const QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton) {
            pressedAt_.reset();
            return false;
        }
        if (event->type() == QEvent::MouseButtonPress) {
            pressedAt_ = mouse->position().toPoint();
            return false;
        }
        // A release with no press seen (the press went to another widget) counts as a click.
        const bool dragged = pressedAt_
            && (mouse->position().toPoint() - *pressedAt_).manhattanLength() >= QApplication::startDragDistance();
        pressedAt_.reset();
        return !dragged;
    }

private:
    std::optional<QPoint> pressedAt_; // where the left button went down
};

} // namespace tavrin
