#pragma once
// Clickable pictures of the main window: a label that reports a click, and the small icons
// we draw for it (no image files to ship). A picture is a button to the keyboard too: Tab
// reaches it, Space or Return presses it, and it shows a focus frame meanwhile. A mouse click
// leaves the keys where they were (Tab focus only), as a tool button would.

#include <QLabel>
#include <QPixmap>

#include <optional>

namespace tavrin {

enum class Icon { Speaker, Microphone, Keypad, Steps, Chooser, RemotePad };

class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickableLabel(QWidget *parent = nullptr);

    // Shows `icon`, drawn for the label's window colour and screen, and drawn again when the
    // palette changes (a desktop turning dark) or the label moves to a screen of another scale.
    void setIcon(Icon icon);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void drawPicture();

    bool pressed_ = false;
    std::optional<Icon> icon_;
};

// `icon`, `size` pixels square at a device pixel ratio of `ratio`, its dark parts lightened
// where they would vanish on `window`.
QPixmap drawIcon(Icon icon, int size, qreal ratio, const QColor &window);

// A clickable picture with its objectName, icon and tooltip.
ClickableLabel *makePicture(const QString &name, Icon icon, const QString &toolTip, QWidget *parent);

} // namespace tavrin
