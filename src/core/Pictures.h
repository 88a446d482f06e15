#pragma once
// Clickable pictures of the main window: a label that reports a click, and the small icons
// we draw for it (no image files to ship).

#include <QLabel>
#include <QPixmap>

namespace tavrin {

class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool pressed_ = false;
};

enum class Icon { Speaker, Microphone, Keypad, Steps, Chooser, RemotePad };

QPixmap drawIcon(Icon icon, int size = 32);

// A clickable picture with its objectName, icon and tooltip.
ClickableLabel *makePicture(const QString &name, Icon icon, const QString &toolTip, QWidget *parent);

} // namespace tavrin
