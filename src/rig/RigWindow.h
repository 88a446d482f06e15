#pragma once
// The "Rig Server" window FormRig: turns the rig server on and off and sets its address,
// port and PTT policy, kept in "TVRrig.ini". "Save" writes the file and applies it at once;
// closing with the title-bar button hides the window and re-reads the file, dropping unsaved
// edits. Its StatusLine shows whether the server listens and how many clients it has.
//
// Thread: user-interface thread. Top-level; owns only its controls.

#include "common/WindowNames.h"
#include "rig/RigSettings.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace tavrin::rig {

inline constexpr const char *kWindowName = windows::kRigWindow;
inline constexpr char kWindowTitle[] = "Rig Server";
inline constexpr char kRemoteNeedsChoice[] =
    "%1 is not this computer only: tick \"Accept connections from other computers\" to use it";
inline constexpr char kBadAddress[] = "\"%1\" is not an IP address";

class RigWindow : public QWidget {
    Q_OBJECT
public:
    explicit RigWindow(ProfileStore &store, QWidget *parent = nullptr);

    // Controls from the file.
    void reload();
    // The controls as settings; nullopt (and a status line saying why) when the address is
    // unusable.
    std::optional<RigSettings> edited();
    SaveResult SaveData();
    void showStatus(const QString &text);

signals:
    // Saved: the server should take these settings now.
    void settingsSaved(const tavrin::rig::RigSettings &settings);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showSettings(const RigSettings &s);

    ProfileStore &store_;
    QCheckBox *enabled_ = nullptr;
    QLineEdit *address_ = nullptr;
    QCheckBox *allowRemote_ = nullptr;
    QSpinBox *port_ = nullptr;
    QCheckBox *allowPtt_ = nullptr;
    QSpinBox *pttTimeout_ = nullptr;
    QLabel *statusLine_ = nullptr;
};

} // namespace tavrin::rig
