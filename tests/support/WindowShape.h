#pragma once
// What a window looks like to the operator, for comparing one built at once with one built
// on first use: its controls in tab order (name and kind) and, once shown, its size.

#include <QSize>
#include <QStringList>
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

} // namespace tavrin::test
