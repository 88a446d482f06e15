#pragma once
// What a window looks like to the operator, for comparing one built at once with one built
// on first use: its controls in tab order (name and kind) and, once shown, its size. And the
// way Tab really goes round an active window.

#include <QApplication>
#include <QSize>
#include <QStringList>
#include <QTest>
#include <QWidget>

namespace tavrin::test {

inline QStringList windowShape(QWidget &window)
{
    QStringList shape;
    for (QWidget *w = window.nextInFocusChain(); w && w != &window; w = w->nextInFocusChain())
        shape << w->objectName() + QLatin1Char(':') + QLatin1String(w->metaObject()->className());
    const QSize size = window.size();
    shape << QStringLiteral("size %1x%2").arg(size.width()).arg(size.height());
    return shape;
}

// The controls that Tab key presses visit, from the one with the keys once round the window
// (the active one) and back.
inline QStringList tabRound()
{
    QStringList stops;
    QWidget *const start = QApplication::focusWidget();
    for (QWidget *at = start; at && stops.size() < 400;) {
        stops << at->objectName();
        QTest::keyClick(at, Qt::Key_Tab);
        at = QApplication::focusWidget();
        if (at == start)
            break;
    }
    return stops;
}

} // namespace tavrin::test
