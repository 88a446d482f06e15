#pragma once
// Finds a scenario's controls by objectName and drives them as a user would: clicks, key
// strokes, timer ticks, and reading what a control shows.
//
// Names: "WINDOW.CONTROL" looks CONTROL up inside that window (names repeat across windows);
// a bare name is a window when one is registered under it, otherwise a control of the main
// window "Form2". Controls are widgets, menu actions and timers.
//
// Timer ticks: a window exposes the tick of its timer TIMER as a public slot TIMER_Timer()
// (e.g. Form2::Timer3_Timer()); `tick` calls that slot on the timer's nearest owner that has it.
//
// Thread: user-interface thread. Owns nothing.

#include "common/WindowNames.h"
#include "scenario/KeyNames.h"
#include "scenario/Outcome.h"

#include <QColor>
#include <QPointer>
#include <QString>

#include <functional>

class QObject;
class QWidget;

namespace tavrin::scenario {

inline constexpr const char *kMainWindowName = windows::kMainWindow;

using WindowLookup = std::function<QWidget *(const QString &name)>;

struct ControlRef {
    QString name;            // as written in the scenario
    QPointer<QWidget> window; // the window it was found in
    QPointer<QObject> object; // the control, or the window itself
};

class ControlProbe {
public:
    explicit ControlProbe(WindowLookup lookup) : lookup_(std::move(lookup)) {}

    Outcome find(const QString &name, ControlRef *ref) const;

    // The value of text|caption|visible|enabled|checked|color|backcolor as the scenario
    // writes it: flags as "true"/"false", colours as "#rrggbb".
    Outcome read(const ControlRef &ref, const QString &property, QString *value) const;

    Outcome click(const ControlRef &ref) const;
    // Closes a shown window as its title-bar button would (a close event the window may refuse).
    Outcome close(const ControlRef &ref) const;
    // Replaces the control's text by typing: select all, then one key press per character
    // (an empty text presses Delete), so length limits, validators and upper-casing apply.
    Outcome type(const ControlRef &ref, const QString &text) const;
    Outcome pressKey(const ControlRef &ref, const NamedKey &key) const;
    // Calls the tick of timer `name` ("Form2.Timer3" or "Timer3") `times` times.
    Outcome tick(const QString &name, int times) const;
    Outcome screenshot(const ControlRef &ref, const QString &file) const;

    static QString colourText(const QColor &colour);
    // The palette colours a control is drawn with: foreground and background.
    static QColor foreground(const QWidget *widget);
    static QColor background(const QWidget *widget);

private:
    WindowLookup lookup_;
};

} // namespace tavrin::scenario
