#include "scenario/ControlProbe.h"

#include "core/WindowRegistry.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>

namespace tavrin::scenario {

namespace {

constexpr char kTickSuffix[] = "_Timer";

QString flagText(bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); }

bool isTextEditor(const QWidget *w)
{
    return qobject_cast<const QLineEdit *>(w) || qobject_cast<const QTextEdit *>(w)
        || qobject_cast<const QPlainTextEdit *>(w) || qobject_cast<const QAbstractSpinBox *>(w)
        || (qobject_cast<const QComboBox *>(w) && static_cast<const QComboBox *>(w)->isEditable());
}

// What a user can reach: shown (the whole chain up to the window) and enabled.
Outcome reachable(const ControlRef &ref, const QWidget *w)
{
    if (!w->isVisible())
        return Outcome::failure(ref.name + QStringLiteral(" shown"), QStringLiteral("hidden"));
    if (!w->isEnabled())
        return Outcome::failure(ref.name + QStringLiteral(" enabled"), QStringLiteral("disabled"));
    return Outcome::success();
}

std::optional<QString> textOf(const QObject *o)
{
    if (auto *a = qobject_cast<const QAction *>(o))
        return a->text();
    auto *w = qobject_cast<const QWidget *>(o);
    if (!w)
        return std::nullopt;
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    if (auto *e = qobject_cast<const QTextEdit *>(w))
        return e->toPlainText();
    if (auto *e = qobject_cast<const QPlainTextEdit *>(w))
        return e->toPlainText();
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    if (auto *m = qobject_cast<const QMenu *>(w))
        return m->title();
    if (auto *c = qobject_cast<const QComboBox *>(w))
        return c->currentText();
    if (auto *s = qobject_cast<const QAbstractSpinBox *>(w))
        return s->text();
    if (w->isWindow())
        return w->windowTitle();
    return std::nullopt;
}

std::optional<bool> visibleOf(const QObject *o)
{
    if (auto *a = qobject_cast<const QAction *>(o))
        return a->isVisible();
    if (auto *m = qobject_cast<const QMenu *>(o))
        return m->menuAction()->isVisible();
    if (auto *w = qobject_cast<const QWidget *>(o))
        return w->isWindow() ? w->isVisible() : w->isVisibleTo(w->window());
    return std::nullopt;
}

std::optional<bool> enabledOf(const QObject *o)
{
    if (auto *t = qobject_cast<const QTimer *>(o))
        return t->isActive(); // a timer is "enabled" while it runs
    if (auto *a = qobject_cast<const QAction *>(o))
        return a->isEnabled();
    if (auto *w = qobject_cast<const QWidget *>(o))
        return w->isEnabled();
    return std::nullopt;
}

std::optional<bool> checkedOf(const QObject *o)
{
    if (auto *a = qobject_cast<const QAction *>(o))
        return a->isChecked();
    if (auto *b = qobject_cast<const QAbstractButton *>(o))
        return b->isChecked();
    if (auto *g = qobject_cast<const QGroupBox *>(o); g && g->isCheckable())
        return g->isChecked();
    return std::nullopt;
}

QString kindOf(const QObject *o)
{
    return QString::fromLatin1(o->metaObject()->className());
}

void sendKey(QWidget *target, Qt::Key key, const QString &text, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(target, &release);
}

Qt::Key keyForCharacter(QChar c)
{
    if (c.unicode() >= 0x80)
        return Qt::Key_unknown;
    return Qt::Key(c.toUpper().unicode()); // printable ASCII keys share their codes
}

} // namespace

Outcome ControlProbe::find(const QString &name, ControlRef *ref) const
{
    ref->name = name;
    const qsizetype dot = name.indexOf(u'.');
    if (dot < 0) {
        if (QWidget *window = lookup_(name)) {
            ref->window = window;
            ref->object = window;
            return Outcome::success();
        }
    }
    const QString windowName = dot < 0 ? QString::fromLatin1(kMainWindowName) : name.left(dot);
    const QString controlName = dot < 0 ? name : name.mid(dot + 1);
    QWidget *window = lookup_(windowName);
    if (!window)
        return Outcome::failure(QStringLiteral("a window named %1").arg(windowName), QStringLiteral("none"));
    if (!controlName.isEmpty())
        buildControlsOf(window);
    QObject *control = controlName.isEmpty() ? nullptr : window->findChild<QObject *>(controlName);
    if (!control)
        return Outcome::failure(QStringLiteral("a control %1 in %2").arg(controlName, windowName),
                                QStringLiteral("none"));
    ref->window = window;
    ref->object = control;
    return Outcome::success();
}

Outcome ControlProbe::read(const ControlRef &ref, const QString &property, QString *value) const
{
    const QObject *o = ref.object;
    if (!o)
        return Outcome::failure(ref.name, QStringLiteral("a control that no longer exists"));
    const QString p = property.toLower();
    std::optional<QString> text;
    if (p == QLatin1String("text") || p == QLatin1String("caption")) {
        text = textOf(o);
    } else if (p == QLatin1String("visible")) {
        if (auto v = visibleOf(o))
            text = flagText(*v);
    } else if (p == QLatin1String("enabled")) {
        if (auto v = enabledOf(o))
            text = flagText(*v);
    } else if (p == QLatin1String("checked")) {
        if (auto v = checkedOf(o))
            text = flagText(*v);
    } else if (p == QLatin1String("color") || p == QLatin1String("backcolor")) {
        if (auto *w = qobject_cast<const QWidget *>(o))
            text = colourText(p == QLatin1String("color") ? foreground(w) : background(w));
    }
    if (!text)
        return Outcome::failure(QStringLiteral("%1 with a %2").arg(ref.name, p),
                                QStringLiteral("a %1, which has none").arg(kindOf(o)));
    *value = *text;
    return Outcome::success();
}

Outcome ControlProbe::click(const ControlRef &ref) const
{
    QObject *o = ref.object;
    if (!o)
        return Outcome::failure(ref.name, QStringLiteral("a control that no longer exists"));
    if (auto *a = qobject_cast<QAction *>(o)) {
        if (!a->isEnabled() || !a->isVisible())
            return Outcome::failure(ref.name + QStringLiteral(" enabled and shown"),
                                    a->isEnabled() ? QStringLiteral("hidden") : QStringLiteral("disabled"));
        a->trigger();
        return Outcome::success();
    }
    auto *w = qobject_cast<QWidget *>(o);
    if (!w || qobject_cast<QMenu *>(w))
        return Outcome::failure(ref.name + QStringLiteral(" to be clickable"), QStringLiteral("a ") + kindOf(o));
    if (Outcome r = reachable(ref, w); !r.ok)
        return r;
    if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        b->click();
        return Outcome::success();
    }
    // A clickable picture or label: a real press and release in its middle. Text boxes
    // receive mouse input on their viewport.
    QWidget *target = w;
    if (auto *area = qobject_cast<QAbstractScrollArea *>(w))
        target = area->viewport();
    const QPointF at = QRectF(target->rect()).center();
    const QPointF global = target->mapToGlobal(at);
    QPointer<QWidget> guard(target);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    if (guard) {
        QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &release);
    }
    return Outcome::success();
}

Outcome ControlProbe::close(const ControlRef &ref) const
{
    auto *w = qobject_cast<QWidget *>(ref.object.data());
    if (!w || !w->isWindow())
        return Outcome::failure(ref.name + QStringLiteral(" to be a window"),
                                ref.object ? QStringLiteral("a ") + kindOf(ref.object) : QStringLiteral("nothing"));
    if (!w->isVisible())
        return Outcome::failure(ref.name + QStringLiteral(" shown"), QStringLiteral("hidden"));
    w->close();
    return Outcome::success();
}

Outcome ControlProbe::type(const ControlRef &ref, const QString &text) const
{
    auto *w = qobject_cast<QWidget *>(ref.object.data());
    if (!w || !isTextEditor(w))
        return Outcome::failure(ref.name + QStringLiteral(" to take typing"),
                                ref.object ? QStringLiteral("a ") + kindOf(ref.object) : QStringLiteral("nothing"));
    if (Outcome r = reachable(ref, w); !r.ok)
        return r;
    w->setFocus(Qt::OtherFocusReason);
    QPointer<QWidget> guard(w);
    sendKey(w, Qt::Key_A, QString(), Qt::ControlModifier); // select all, so typing replaces
    if (text.isEmpty() && guard)
        sendKey(w, Qt::Key_Delete, QString());
    for (QChar c : text) {
        if (!guard)
            break;
        if (c == u'\n')
            sendKey(w, Qt::Key_Return, QStringLiteral("\r"));
        else
            sendKey(w, keyForCharacter(c), QString(c));
    }
    return Outcome::success();
}

Outcome ControlProbe::pressKey(const ControlRef &ref, const NamedKey &key) const
{
    auto *w = qobject_cast<QWidget *>(ref.object.data());
    if (!w)
        return Outcome::failure(ref.name + QStringLiteral(" to take keys"),
                                ref.object ? QStringLiteral("a ") + kindOf(ref.object) : QStringLiteral("nothing"));
    if (Outcome r = reachable(ref, w); !r.ok)
        return r;
    w->setFocus(Qt::OtherFocusReason);
    sendKey(w, key.key, key.text);
    return Outcome::success();
}

Outcome ControlProbe::tick(const QString &name, int times) const
{
    const qsizetype dot = name.indexOf(u'.');
    const QString windowName = dot < 0 ? QString::fromLatin1(kMainWindowName) : name.left(dot);
    const QString timerName = dot < 0 ? name : name.mid(dot + 1);
    QWidget *window = lookup_(windowName);
    if (!window)
        return Outcome::failure(QStringLiteral("a window named %1").arg(windowName), QStringLiteral("none"));

    const QByteArray slot = timerName.toLatin1() + kTickSuffix;
    const QByteArray signature = slot + "()";
    // The tick lives on the timer's owner: the window itself or one of its panels.
    QList<QObject *> owners;
    if (auto *timer = window->findChild<QTimer *>(timerName))
        for (QObject *o = timer->parent(); o; o = o->parent())
            owners << o;
    owners << window;
    for (QObject *owner : owners) {
        const int index = owner->metaObject()->indexOfMethod(signature.constData());
        if (index < 0 || owner->metaObject()->method(index).access() != QMetaMethod::Public)
            continue;
        QPointer<QObject> guard(owner);
        for (int i = 0; i < times && guard; ++i)
            QMetaObject::invokeMethod(owner, slot.constData(), Qt::DirectConnection);
        return Outcome::success();
    }
    return Outcome::failure(QStringLiteral("a public tick %1::%2").arg(windowName, QString::fromLatin1(signature)),
                            QStringLiteral("none"));
}

Outcome ControlProbe::screenshot(const ControlRef &ref, const QString &file) const
{
    auto *w = qobject_cast<QWidget *>(ref.object.data());
    if (!w)
        return Outcome::failure(ref.name + QStringLiteral(" to be a window or widget"),
                                ref.object ? QStringLiteral("a ") + kindOf(ref.object) : QStringLiteral("nothing"));
    if (w->isWindow())
        buildControlsOf(w); // a hidden window's picture shows its controls too
    const QFileInfo info(file);
    QDir().mkpath(info.absolutePath());
    if (!w->grab().save(info.absoluteFilePath(), "PNG"))
        return Outcome::failure(QStringLiteral("a picture saved as %1").arg(file), QStringLiteral("a failed write"));
    return Outcome::success();
}

QString ControlProbe::colourText(const QColor &colour)
{
    return colour.name(QColor::HexRgb).toLower();
}

// Edits draw on Base with Text, buttons (option buttons and check boxes too) on Button with
// ButtonText, labels and everything else on Window with WindowText.
QColor ControlProbe::foreground(const QWidget *w)
{
    if (isTextEditor(w))
        return w->palette().color(QPalette::Text);
    if (qobject_cast<const QAbstractButton *>(w))
        return w->palette().color(QPalette::ButtonText);
    return w->palette().color(QPalette::WindowText);
}

QColor ControlProbe::background(const QWidget *w)
{
    if (isTextEditor(w))
        return w->palette().color(QPalette::Base);
    if (qobject_cast<const QAbstractButton *>(w))
        return w->palette().color(QPalette::Button);
    return w->palette().color(QPalette::Window);
}

} // namespace tavrin::scenario
