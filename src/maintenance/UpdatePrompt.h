#pragma once
// The prompt "Form150" ("Update Warning") that the About window raises when the version file
// names another version. It only asks: the About window does what the answer means.
//
// Thread: user-interface thread. A top-level window owned by the About window.

#include <QWidget>

namespace tavrin::maintenance {

class UpdatePrompt : public QWidget {
    Q_OBJECT
public:
    explicit UpdatePrompt(QWidget *parent = nullptr);

signals:
    // "Update Now Please".
    void updateNowRequested();
    // "No Thanks"; the prompt has hidden itself.
    void declined();
};

} // namespace tavrin::maintenance
