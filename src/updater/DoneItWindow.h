#pragma once
// The completion window `DoneIt`: no title, three framed lines, no buttons. Top-level.

#include <QWidget>

namespace tavrin::updater {

class DoneItWindow : public QWidget {
    Q_OBJECT
public:
    explicit DoneItWindow(const QString &webUrl);
};

} // namespace tavrin::updater
