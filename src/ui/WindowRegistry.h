#pragma once
// Windows by name. The composition root registers every window it builds under its
// objectName (common/WindowNames.h). Windows use it only to show, hide and raise another
// window by name; what they tell each other goes through typed signals and slots that the
// composition root joins. Looking a control up by name (control<T>) is for the scenario
// runner and tests, which name controls as the scenario language does; controls are always
// looked up inside their window, because names repeat across windows.
//
// Thread: user-interface thread. Owns nothing: the composition root owns the windows.

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
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

// Remembers which window the operator came from when a window was brought up, and when that
// window goes away while it has the keys (Hide, Escape, its close button), makes the one they
// came from active again: the keys are back where they were, rather than wherever the desktop
// puts them. A child of the window it watches.
class ReturnToOpener final : public QObject {
public:
    static void remember(QWidget *window, QWidget *opener)
    {
        ReturnToOpener *watch = nullptr;
        for (QObject *child : window->children())
            if ((watch = dynamic_cast<ReturnToOpener *>(child)))
                break;
        if (!watch) {
            watch = new ReturnToOpener(window);
            window->installEventFilter(watch);
        }
        watch->opener_ = opener;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide && watched == parent()) {
            QPointer<QWidget> opener = opener_;
            opener_.clear(); // once: a window that shows again by itself came from nowhere
            // Hiding the active window leaves the program with none active, while the desktop
            // still gives it the keys; hidden while the operator was elsewhere, it leaves them.
            const QWidget *active = QApplication::activeWindow();
            const bool hadTheKeys = active == watched
                || (!active && QGuiApplication::applicationState() == Qt::ApplicationActive);
            if (opener && hadTheKeys && opener->isVisible() && !opener->isMinimized()) {
                opener->raise();
                opener->activateWindow();
            }
        }
        return false;
    }

private:
    explicit ReturnToOpener(QWidget *window) : QObject(window) {}

    QPointer<QWidget> opener_;
};

// Brings a window up because the operator asked for it: a minimized window comes back (a plain
// show() leaves it in the taskbar, and the click seems to do nothing), then it is raised and
// made active. The window active until then gets the keys back when this one goes.
inline void bringUp(QWidget *window)
{
    if (!window)
        return;
    QWidget *opener = QApplication::activeWindow();
    if (opener && opener != window && opener->isVisible())
        ReturnToOpener::remember(window, opener);
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
