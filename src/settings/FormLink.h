#pragma once
// The "Link Settings" window (FormLink): which link the program uses (simulated or the
// real EchoLink network) and how the native station is set up. The settings go to
// "TVRlink.ini"; the password goes to the keychain only, under the callsign. A change of
// backend takes effect at the next start.
//
// Save validates first (the EchoLink link needs a callsign; port base 1024 ... 65534;
// well-formed server list) and writes nothing when something is wrong. A typed password is
// then handed to the keychain; an empty password field leaves the stored password alone.
// With no keychain service the other settings stay saved and the status line says the
// password can't be stored. Closing with the title-bar button (or Cancel) hides the window
// and re-reads the file, dropping unsaved edits.
// The program has the fields built on first use (shown, or a control looked up through the
// registry: ensureBuilt()); until then the settings read from the file are kept and shown
// once the fields are there.
//
// Thread: user-interface thread. Does not own the store or the vault.

#include "common/WindowNames.h"
#include "settings/LinkSettings.h"
#include "settings/PasswordVault.h"
#include "ui/ControlsBuilt.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace tavrin {
class SoundServerGate;
}

namespace tavrin::link {

inline constexpr const char *kWindowName = windows::kLinkWindow;

class FormLink : public QWidget {
    Q_OBJECT
public:
    using Fields = ControlsBuilt;
    FormLink(ProfileStore &store, PasswordVault &vault, Fields fields = Fields::Now, QWidget *parent = nullptr);
    ~FormLink() override;

    // Builds the fields if they are not there yet.
    Q_INVOKABLE void ensureBuilt();
    void setVisible(bool visible) override;

    // Shows the file's settings; the password field starts empty. The lists of sound devices
    // are refreshed when the window shows: listing them waits for the sound server, which
    // must never hold up the start.
    void reload();
    // False when validation or the file write failed (the status line says why). The
    // keychain answers later; its outcome shows in the status line too.
    bool SaveData();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // Fills the fields from the settings last read; the password field starts empty.
    void showSettings();
    // Without `list`, only "Default" and the chosen device (by its id) are offered.
    void fillDevices(QComboBox *combo, bool inputs, const QString &selectedId, bool list);
    void showStatus(const QString &text, bool failure);
    void storePassword(const QString &callsign, const QString &password);

    ProfileStore &store_;
    PasswordVault &vault_;
    LinkSettings settings_; // as last read from the file
    QRadioButton *simulated_ = nullptr;
    QRadioButton *echoLink_ = nullptr;
    QLineEdit *callsign_ = nullptr;
    QLineEdit *password_ = nullptr;
    QLineEdit *operatorName_ = nullptr;
    QLineEdit *location_ = nullptr;
    QLineEdit *servers_ = nullptr;
    QLineEdit *portBase_ = nullptr;
    QComboBox *audioInput_ = nullptr;
    QComboBox *audioOutput_ = nullptr;
    QLabel *statusLine_ = nullptr;
    // Asks whether the sound server answers before the device lists are read (not on Windows).
    SoundServerGate *devicesGate_ = nullptr;
    // Only the latest keychain request may write the status line.
    quint64 vaultRequest_ = 0;
};

} // namespace tavrin::link
