#pragma once
// Windows by name. The composition root registers every window it builds under its
// objectName (common/WindowNames.h). Windows use it only to show, hide and raise another
// window by name; what they tell each other goes through typed signals and slots that the
// composition root joins. Looking a control up by name (control<T>) is for the scenario
// runner and tests, which name controls as the scenario language does; controls are always
// looked up inside their window, because names repeat across windows.
//
// Thread: user-interface thread. Owns nothing: the composition root owns the windows.

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>

namespace tavrin {

class PresetSet;

// A window that builds its controls on first use (ControlsBuilt.h; it has an ensureBuilt()
// method) builds them before one of them is looked up by name.
inline void buildControlsOf(QWidget *window)
{
    if (window->metaObject()->indexOfMethod("ensureBuilt()") >= 0)
        QMetaObject::invokeMethod(window, "ensureBuilt", Qt::DirectConnection);
}

// Brings a window up because the operator asked for it: a minimized window comes back (a plain
// show() leaves it in the taskbar, and the click seems to do nothing), then it is raised and
// made active.
inline void bringUp(QWidget *window)
{
    if (!window)
        return;
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

class WindowRegistry {
public:
    void add(QWidget *window) { windows_.insert(window->objectName(), window); }

    QWidget *window(const QString &name) const { return windows_.value(name).data(); }
    // bringUp() of the window `name`; a window that does not exist is skipped.
    void bringUp(const QString &name) const { tavrin::bringUp(window(name)); }

    template <class W>
    W *get(const QString &name) const { return qobject_cast<W *>(window(name)); }

    // The control named `control` inside window `windowName`, or nullptr when either is absent.
    template <class T>
    T *control(const QString &windowName, const QString &control) const
    {
        QWidget *w = window(windowName);
        if (!w)
            return nullptr;
        buildControlsOf(w);
        return w->findChild<T *>(control);
    }

    // The four preset sets, owned by the composition root.
    std::array<PresetSet *, 4> presetSets{};
    PresetSet *presetSet(int number) const { return presetSets.at(number - 1); }

private:
    QHash<QString, QPointer<QWidget>> windows_;
};

} // namespace tavrin
