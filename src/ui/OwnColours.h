#pragma once
// A control's own text and background colours, set through the palette role the control
// paints with (text: WindowText/Text/ButtonText; background: Window/Base/Button, by kind of
// control), so that they can be read back the same way. The colours are kept on the control
// and applied again when the desktop's palette changes: what keeps them readable (the text
// on a coloured background, a light field under a blue callsign) depends on that palette.
//
// Thread: user-interface thread.

#include "ui/FollowPalette.h"
#include "ui/ReadableColors.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColor>
#include <QLineEdit>
#include <QPalette>
#include <QTextEdit>
#include <QVariant>
#include <QWidget>

namespace tavrin::ui {

namespace detail {

inline bool isEdit(const QWidget *w) { return qobject_cast<const QLineEdit *>(w) || qobject_cast<const QTextEdit *>(w); }

} // namespace detail

// The roles a control paints its text and its background with.
inline QPalette::ColorRole textRoleOf(const QWidget *w)
{
    if (qobject_cast<const QAbstractButton *>(w))
        return QPalette::ButtonText;
    return detail::isEdit(w) ? QPalette::Text : QPalette::WindowText;
}

inline QPalette::ColorRole backgroundRoleOf(const QWidget *w)
{
    if (qobject_cast<const QAbstractButton *>(w))
        return QPalette::Button;
    return detail::isEdit(w) ? QPalette::Base : QPalette::Window;
}

namespace detail {

inline constexpr char kOwnTextColour[] = "tavrinOwnTextColour";
inline constexpr char kOwnBackground[] = "tavrinOwnBackground";

// Applies the colours kept on `w` to what it inherits now.
inline void paintOwnColours(QWidget *w)
{
    const QVariant text = w->property(kOwnTextColour);
    const QVariant back = w->property(kOwnBackground);
    const QPalette::ColorRole textRole = textRoleOf(w);
    const QPalette::ColorRole backRole = backgroundRoleOf(w);
    w->setPalette(QPalette()); // nothing of its own: the parent's or the desktop's colours
    QPalette p = w->palette();
    bool fill = back.isValid();
    if (back.isValid()) {
        QColor colour = back.value<QColor>();
        if (!colour.isValid())
            colour = QApplication::palette().color(QPalette::Button);
        p.setColor(backRole, colour);
        // The desktop's text colour unless it vanishes there (light text on the light-grey button).
        if (!text.isValid())
            keepTextReadable(p, textRole, colour);
    }
    if (text.isValid()) {
        const QColor colour = text.value<QColor>();
        p.setColor(textRole, colour);
        // A blue callsign on a dark desktop's field: the field turns white, as the colour expects.
        if (needsLightField(colour, p.color(backRole))) {
            p.setColor(backRole, Qt::white);
            fill = true;
        }
    }
    w->setPalette(p);
    // Labels paint no background unless asked to.
    if (fill)
        w->setAutoFillBackground(true);
}

inline void keepOwnColour(QWidget *w, const char *property, const QColor &colour)
{
    w->setProperty(property, QVariant::fromValue(colour));
    paintFollowingPalette(w, "ownColours", [w] { paintOwnColours(w); });
}

} // namespace detail

// A background that is the desktop's button face, whatever it is at the time.
inline const QColor kDesktopButtonFace{};

inline void setOwnTextColour(QWidget *w, const QColor &colour) { detail::keepOwnColour(w, detail::kOwnTextColour, colour); }

// `colour`, or kDesktopButtonFace. The text keeps the desktop's colour wherever it reads on
// it, unless the control has a text colour of its own.
inline void setOwnBackground(QWidget *w, const QColor &colour) { detail::keepOwnColour(w, detail::kOwnBackground, colour); }

} // namespace tavrin::ui
