#pragma once
// What a control drawn as a picture needs to be used without a mouse or without sight. Its focus
// frame: a label has none of its own, so a picture pressed with Space shows where the keys are by
// this dotted frame, drawn after the picture. And what a screen reader says for it.
//
// Thread: user-interface thread.

#include <QLabel>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QWidget>

#if QT_CONFIG(accessibility)
#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QMouseEvent>
#endif

namespace tavrin {

inline void paintFocusFrame(QWidget *control)
{
    if (!control->hasFocus())
        return;
    QStylePainter painter(control);
    QStyleOptionFocusRect option;
    option.initFrom(control);
    option.rect = control->rect().adjusted(1, 1, -1, -1);
    option.backgroundColor = control->palette().color(control->backgroundRole());
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

// The name a screen reader says for it. A Qt built without accessibility (our Windows one)
// has no such name to give.
inline void nameForScreenReaders(QWidget *control, const QString &name)
{
#if QT_CONFIG(accessibility)
    control->setAccessibleName(name);
#else
    Q_UNUSED(control);
    Q_UNUSED(name);
#endif
}

#if QT_CONFIG(accessibility)
namespace detail {

inline constexpr char kPictureButtonProperty[] = "tavrinPictureButton";

// A picture that acts on a click, told to a screen reader as a button it can press: as a
// plain label it would be read as an image, with nothing to say that it does anything.
class PictureButtonAccess final : public QAccessibleWidget {
public:
    explicit PictureButtonAccess(QWidget *picture) : QAccessibleWidget(picture, QAccessible::Button) {}

    QStringList actionNames() const override { return QStringList(pressAction()) << QAccessibleWidget::actionNames(); }
    void doAction(const QString &action) override
    {
        if (action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        // Pressed as the mouse presses it: a press and a release over its middle.
        const QPointF middle = QRectF(widget()->rect()).center();
        const QPointF global = widget()->mapToGlobal(middle);
        QMouseEvent press(QEvent::MouseButtonPress, middle, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(widget(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, middle, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(widget(), &release);
    }
};

inline QAccessibleInterface *pictureButtonAccess(const QString &className, QObject *object)
{
    if (className != QLatin1String("QLabel") || !object->property(kPictureButtonProperty).toBool())
        return nullptr;
    return new PictureButtonAccess(static_cast<QWidget *>(object));
}

} // namespace detail
#endif

// A picture the operator clicks: a screen reader names it `name` and offers it as a button.
inline void pictureButtonForScreenReaders(QLabel *picture, const QString &name)
{
#if QT_CONFIG(accessibility)
    // Before anything asks for its interface: the first one asked for is kept.
    static const bool installed = [] {
        QAccessible::installFactory(&detail::pictureButtonAccess);
        return true;
    }();
    Q_UNUSED(installed);
    picture->setProperty(detail::kPictureButtonProperty, true);
#endif
    nameForScreenReaders(picture, name);
}

} // namespace tavrin
