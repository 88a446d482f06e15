#pragma once
// Clickable pictures of the main window: a label that reports a click, and the small icons
// we draw for it (no image files to ship). A picture is a button to the keyboard too: Tab
// reaches it, Space or Return presses it, and it shows a focus frame meanwhile. A mouse click
// leaves the keys where they were (Tab focus only), as a tool button would.

#include <QLabel>
#include <QPixmap>

namespace tavrin {

class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickableLabel(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool pressed_ = false;
};

enum class Icon { Speaker, Microphone, Keypad, Steps, Chooser, RemotePad };

QPixmap drawIcon(Icon icon, int size = 32);

// A clickable picture with its objectName, icon and tooltip.
ClickableLabel *makePicture(const QString &name, Icon icon, const QString &toolTip, QWidget *parent);

} // namespace tavrin
