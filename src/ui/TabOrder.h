#pragma once
// Tab order set from a list: each control follows the one before it, so Tab goes through them
// in the order given (the order the operator reads the window in), whatever order they were
// made in. Controls left out keep their places after the last one given.
//
// Thread: user-interface thread.

#include <QList>
#include <QWidget>

namespace tavrin {

inline void setTabChain(const QList<QWidget *> &controls)
{
    for (qsizetype k = 1; k < controls.size(); ++k)
        QWidget::setTabOrder(controls.at(k - 1), controls.at(k));
}

// The ten digit keys of a keypad (index = digit) as they stand: 7 8 9 / 4 5 6 / 1 2 3 / 0.
template <class Keys>
QList<QWidget *> digitsAsTheyStand(const Keys &digits)
{
    QList<QWidget *> keys;
    for (int d : {7, 8, 9, 4, 5, 6, 1, 2, 3, 0})
        keys << digits.at(size_t(d));
    return keys;
}

} // namespace tavrin
