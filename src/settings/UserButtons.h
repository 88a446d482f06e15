#pragma once
// The twelve user buttons' data: per button a caption ("Text1" ... "Text12") and a command
// text ("Text1a" ... "Text12a"), kept in "TVRbuttons.ini". The editor window edits these in
// place and the main window reads them when a button is pressed, so an edit is in use at
// once, saved or not.

#include "settings/ProfileStore.h"

#include <QString>
#include <QStringList>

#include <array>

namespace tavrin {

class UserButtons {
public:
    static constexpr int kButtons = 12;
    static constexpr int kKeyCount = 2 * kButtons; // 24
    // Longest caption the editor lets the operator type.
    static constexpr int kCaptionMaxLength = 13;

    UserButtons(); // defaults

    static QString fileName(); // "TVRbuttons.ini"

    // k = 1 ... 12.
    QString &caption(int k) { return captions_.at(size_t(k - 1)); }
    const QString &caption(int k) const { return captions_.at(size_t(k - 1)); }
    QString &command(int k) { return commands_.at(size_t(k - 1)); }
    const QString &command(int k) const { return commands_.at(size_t(k - 1)); }
    QStringList captions() const;

    static QString defaultCaption(int k);
    static QString defaultCommand(int k);

    // Keys in file order: "Text1" ... "Text12", "Text1a" ... "Text12a" as read, and with the
    // prefix "TEXT" as written.
    static QStringList readKeys();
    static QStringList writeKeys();

    // Reads all 24 keys from one snapshot of the file; a missing key takes its default.
    void load(const ProfileStore &store);
    // Writes all 24 keys as one batch.
    SaveResult SaveData(ProfileStore &store) const;

private:
    QString &fieldAt(int keyIndex);
    const QString &fieldAt(int keyIndex) const;
    static QString defaultAt(int keyIndex);

    std::array<QString, kButtons> captions_;
    std::array<QString, kButtons> commands_;
};

} // namespace tavrin
