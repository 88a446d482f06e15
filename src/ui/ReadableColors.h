#pragma once
// Text that stays readable where a window paints a colour of its own. The program's fixed
// colours (the light-grey transmit button, the yellow request notice, blue callsigns) were
// chosen for a light desktop; on a dark one the palette's light text would vanish on a light
// grey button, and a blue callsign on a near-black field.

#include "ui/FollowPalette.h"

#include <QApplication>
#include <QColor>
#include <QPalette>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace tavrin::ui {

namespace detail {

inline double channelLight(double c)
{
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

} // namespace detail

// Relative luminance, 0 (black) to 1 (white).
inline double luminance(const QColor &c)
{
    return 0.2126 * detail::channelLight(c.redF()) + 0.7152 * detail::channelLight(c.greenF())
           + 0.0722 * detail::channelLight(c.blueF());
}

// 1 (no contrast) to 21 (black on white).
inline double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Below this, text is hard to make out (the usual figure for large or bold text).
inline constexpr double kReadableContrast = 3.0;

// The text colour for `background`: `preferred` (the palette's) when it reads there, else
// black or white, whichever stands out more.
inline QColor readableTextOn(const QColor &background, const QColor &preferred)
{
    if (contrastRatio(background, preferred) >= kReadableContrast)
        return preferred;
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return contrastRatio(background, black) >= contrastRatio(background, white) ? black : white;
}

// Whether a fixed text colour needs a light field under it: it does not read on `background`,
// and that background is a dark desktop's (the colours were chosen for a light one).
inline bool needsLightField(const QColor &text, const QColor &background)
{
    constexpr double kDarkField = 0.18;
    return luminance(background) < kDarkField && contrastRatio(text, background) < kReadableContrast;
}

// Sets `textRole` of `palette` to what reads on `background`, group by group: the desktop's own
// text colour wherever it does, so a colour taken away once comes back with the next background.
inline void keepTextReadable(QPalette &palette, QPalette::ColorRole textRole, const QColor &background)
{
    const QPalette desktop = QApplication::palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, textRole, readableTextOn(background, desktop.color(group, textRole)));
}

// The style sheet of a line that reports a failure: dark red, or a light red where the
// window is dark and dark red would hardly show.
inline QString failureStyleSheet(const QWidget *label)
{
    const QColor darkRed(0xb0, 0x00, 0x00);
    const QColor lightRed(0xff, 0x8a, 0x80);
    const QColor window = label->palette().color(label->backgroundRole());
    const QColor red = contrastRatio(darkRed, window) >= kReadableContrast ? darkRed : lightRed;
    return QStringLiteral("color: %1;").arg(red.name());
}

// Gives `widget` the style sheet `more`, with the failure colour first when `failure`; the red
// is chosen again when the desktop's palette changes.
inline void showFailureColour(QWidget *widget, bool failure, const QString &more = QString())
{
    paintFollowingPalette(widget, "failure", [widget, failure, more] {
        widget->setStyleSheet(failure ? failureStyleSheet(widget) + more : more);
    });
}

} // namespace tavrin::ui
