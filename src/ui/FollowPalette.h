#pragma once
// Colours a window picks by looking at the desktop's palette, picked again when that palette
// changes while the program runs: many desktops turn dark at sunset, and the operator may
// switch at any time. Without this a window keeps the choice it made when it was built.
//
// Thread: user-interface thread.

#include <QEvent>
#include <QObject>
#include <QString>
#include <QWidget>

#include <functional>
#include <utility>

namespace tavrin::ui {

namespace detail {

// Runs its action when the widget's palette has changed (the widget holds the new palette
// by then). What the action itself sets does not run it again.
class PaletteFollower final : public QObject {
public:
    PaletteFollower(QWidget *widget, const QString &name) : QObject(widget)
    {
        setObjectName(name);
        widget->installEventFilter(this);
    }

    void setAction(std::function<void()> action) { action_ = std::move(action); }

    void run()
    {
        if (busy_ || !action_)
            return;
        busy_ = true;
        action_();
        busy_ = false;
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::PaletteChange && watched == parent())
            run();
        return false;
    }

private:
    std::function<void()> action_;
    bool busy_ = false;
};

} // namespace detail

// Runs `paint` on `widget` now, and again each time the widget's palette changes from
// elsewhere (the desktop's palette, or a parent's). `key` names what is painted: a later call
// with the same key replaces the earlier `paint`. `paint` must only use the widget's state
// (it may outlive whatever else it captures otherwise).
inline void paintFollowingPalette(QWidget *widget, const char *key, std::function<void()> paint)
{
    const QString name = QStringLiteral("tavrinPaletteFollower:") + QLatin1String(key);
    detail::PaletteFollower *follower = nullptr;
    for (QObject *child : widget->children()) {
        if (child->objectName() == name) {
            follower = dynamic_cast<detail::PaletteFollower *>(child);
            if (follower)
                break;
        }
    }
    if (!follower)
        follower = new detail::PaletteFollower(widget, name);
    follower->setAction(std::move(paint));
    follower->run();
}

} // namespace tavrin::ui
