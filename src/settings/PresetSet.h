#pragma once
// One of the four frequency preset sets: the node callsign, six band labels, and per band
// ten presets of button text and command text. The four sets live for the whole run; the
// editors edit them in place and the main window reads them whenever it needs them, so an
// edit is in use at once, saved or not.

#include "settings/ProfileStore.h"

#include <QString>

#include <array>

namespace tavrin {

class PresetSet {
public:
    static constexpr int kBands = 6;
    static constexpr int kPresetsPerBand = 10;
    static constexpr int kPresets = kBands * kPresetsPerBand; // 60
    static constexpr int kKeyCount = 2 * kPresets + 1 + kBands; // 127

    explicit PresetSet(int number); // 1 ... 4, fields at their defaults

    int number() const { return number_; }
    QString fileName() const; // "TVRset1.ini" ... "TVRset4.ini"

    QString NodeCall;
    // Text(i): button text of preset i (1 ... 60) or band label (61 ... 66).
    QString &Text(int i) { return text_.at(i - 1); }
    const QString &Text(int i) const { return text_.at(i - 1); }
    // Texta(i): command text of preset i (1 ... 60).
    QString &Texta(int i) { return command_.at(i - 1); }
    const QString &Texta(int i) const { return command_.at(i - 1); }

    static int presetIndex(int band, int preset) { return kPresetsPerBand * (band - 1) + preset; }
    const QString &bandLabel(int band) const { return Text(kPresets + band); }

    // Reads all 127 keys (missing keys take their defaults).
    void load(const ProfileStore &store);
    // Writes all 127 keys as one batch.
    SaveResult SaveData(ProfileStore &store) const;

    // Keys in file order, as read ("Text7", "Text7a") and as written ("TEXT7", "TEXT7a").
    static QStringList readKeys();
    static QStringList writeKeys();

    static QString defaultText(int set, int i);
    static QString defaultTexta(int set, int i);
    static QString defaultNodeCall(int set);

private:
    // Field behind the n-th key of the file order (0 ... 126).
    QString &fieldAt(int keyIndex);
    const QString &fieldAt(int keyIndex) const;
    QString defaultAt(int keyIndex) const;

    int number_;
    std::array<QString, kPresets + kBands> text_;
    std::array<QString, kPresets> command_;
};

} // namespace tavrin
