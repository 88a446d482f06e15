#include "messaging/OnTop.h"

#include <QWidget>

namespace tavrin::messaging {

namespace {

void setTopMost(QWidget *window, bool topMost)
{
    if (!window || window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == topMost)
        return;
    // Changing a flag re-creates the native window and hides it; put it back where it was.
    const bool shown = window->isVisible();
    const QPoint at = window->pos();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, topMost);
    if (shown) {
        window->move(at);
        window->show();
    }
}

} // namespace

void OnTop::MakeTopMost(QWidget *window) const { setTopMost(window, true); }
void OnTop::MakeNormal(QWidget *window) const { setTopMost(window, false); }

} // namespace tavrin::messaging
