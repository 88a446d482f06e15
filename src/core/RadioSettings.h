#pragma once
// The main window's settings file "TVRradio.ini": its 16 keys, their defaults, and the
// conversion of option values to and from text. Plain logic, no widgets.

#include "settings/ProfileStore.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace tavrin {

inline constexpr char kRadioSettingsFile[] = "TVRradio.ini";

struct RadioSettings {
    static constexpr int kUserFrequencies = 6; // Text5 ... Text10
    static constexpr int kBands = 6;           // Option1 ... Option6
    static constexpr int kSets = 4;            // Option1x ... Option4x

    std::array<QString, kUserFrequencies> userFrequencies;
    // An option whose stored text is not a Boolean stays nullopt: the window then keeps the
    // option as it is, like a failed conversion step would.
    std::array<std::optional<bool>, kBands> bands;
    std::array<std::optional<bool>, kSets> sets;

    // Reads the 16 keys in their fixed order, each with its default.
    static RadioSettings read(const ProfileSnapshot &snapshot);

    // Keys in file order as read ("Text5") and as written ("TEXT5").
    static QStringList readKeys();
    static QStringList writeKeys();
    static QString defaultValue(int keyIndex);
};

// The 16 values to write, in key order; options as "True"/"False".
KeyValues radioSettingsValues(const std::array<QString, RadioSettings::kUserFrequencies> &userFrequencies,
                              const std::array<bool, RadioSettings::kBands> &bands,
                              const std::array<bool, RadioSettings::kSets> &sets);

// Text to Boolean as the stored options need it: "True"/"False" in any letter case, or a
// number (non-zero is true). Anything else has no Boolean value.
std::optional<bool> booleanFromText(const QString &text);
QString booleanText(bool value);

} // namespace tavrin
