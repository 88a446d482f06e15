#include "settings/PresetSet.h"

#include "protocol/FrequencyText.h"

#include <QStringList>

namespace tavrin {

namespace {

constexpr char kFileNamePattern[] = "TVRset%1.ini";
constexpr char kReadPrefix[] = "Text";
constexpr char kCommandSuffix[] = "a";
constexpr char kNodeCallKey[] = "NodeCall";
constexpr char kSet1NodeCall[] = "XX9XYZ-L";

// Set 1's band labels and button texts; an empty text leaves the preset unused.
constexpr const char *kSet1Labels[PresetSet::kBands] = {"160 M", "80 M", "40 M", "20 M", "17 M", "15 M"};
constexpr const char *kSet1Buttons[PresetSet::kBands][PresetSet::kPresetsPerBand] = {
    {"1.8500", "1.8750", "1.8950", "1.9250", "1.9450", "", "", "", "", ""},
    {"3.5850", "3.6100", "3.6500", "3.6950", "3.7250", "3.7550", "3.8200", "3.8500", "3.9000", ""},
    {"7.0600", "7.0750", "7.0950", "7.1050", "7.1250", "7.1450", "7.1650", "7.1850", "7.1950", ""},
    {"14.1600", "14.1650", "14.1750", "14.1850", "14.2150", "14.2650", "14.3000", "14.3150", "14.3450", ""},
    {"18.1150", "18.1200", "18.1250", "18.1300", "18.1500", "18.1550", "18.1600", "18.1650", "", ""},
    {"21.1950", "21.2000", "21.2100", "21.2150", "21.2200", "21.2250", "21.2350", "21.2450", "21.2550", "21.2650"},
};

// File order: per band its ten button texts, then its ten command texts; then NodeCall;
// then the six band labels.
constexpr int kBandBlockKeys = 2 * PresetSet::kPresetsPerBand;
constexpr int kNodeCallIndex = PresetSet::kBands * kBandBlockKeys; // 120

enum class FieldKind { Button, Command, NodeCall, Label };

struct FieldRef {
    FieldKind kind;
    int number; // Text / Texta number (1 ... 66); unused for NodeCall
};

FieldRef fieldOf(int keyIndex)
{
    if (keyIndex < kNodeCallIndex) {
        const int band = keyIndex / kBandBlockKeys + 1;
        const int within = keyIndex % kBandBlockKeys;
        const bool command = within >= PresetSet::kPresetsPerBand;
        const int preset = (command ? within - PresetSet::kPresetsPerBand : within) + 1;
        return {command ? FieldKind::Command : FieldKind::Button, PresetSet::presetIndex(band, preset)};
    }
    if (keyIndex == kNodeCallIndex)
        return {FieldKind::NodeCall, 0};
    return {FieldKind::Label, PresetSet::kPresets + (keyIndex - kNodeCallIndex)};
}

QStringList keysWithPrefix(const char *prefix)
{
    QStringList keys;
    keys.reserve(PresetSet::kKeyCount);
    for (int k = 0; k < PresetSet::kKeyCount; ++k) {
        const FieldRef f = fieldOf(k);
        switch (f.kind) {
        case FieldKind::NodeCall:
            keys << QString::fromLatin1(kNodeCallKey);
            break;
        case FieldKind::Command:
            keys << QLatin1String(prefix) + QString::number(f.number) + QLatin1String(kCommandSuffix);
            break;
        case FieldKind::Button:
        case FieldKind::Label:
            keys << QLatin1String(prefix) + QString::number(f.number);
            break;
        }
    }
    return keys;
}

} // namespace

PresetSet::PresetSet(int number) : number_(number)
{
    for (int k = 0; k < kKeyCount; ++k)
        fieldAt(k) = defaultAt(k);
}

QString PresetSet::fileName() const
{
    return QString::fromLatin1(kFileNamePattern).arg(number_);
}

void PresetSet::load(const ProfileStore &store)
{
    const ProfileSnapshot snapshot = store.load(fileName());
    const QStringList keys = readKeys();
    for (int k = 0; k < kKeyCount; ++k)
        fieldAt(k) = snapshot.ReadSetting(keys.at(k), defaultAt(k));
}

SaveResult PresetSet::SaveData(ProfileStore &store) const
{
    const QStringList keys = writeKeys();
    KeyValues values;
    values.reserve(kKeyCount);
    for (int k = 0; k < kKeyCount; ++k)
        values.append({keys.at(k), fieldAt(k)});
    return store.writeBatch(fileName(), values);
}

QStringList PresetSet::readKeys()
{
    static const QStringList keys = keysWithPrefix(kReadPrefix);
    return keys;
}

QStringList PresetSet::writeKeys()
{
    static const QStringList keys = writtenKeys(readKeys());
    return keys;
}

QString PresetSet::defaultText(int set, int i)
{
    if (set != 1 || i < 1 || i > kPresets + kBands)
        return {};
    if (i > kPresets)
        return QString::fromLatin1(kSet1Labels[i - kPresets - 1]);
    return QString::fromLatin1(kSet1Buttons[(i - 1) / kPresetsPerBand][(i - 1) % kPresetsPerBand]);
}

QString PresetSet::defaultTexta(int set, int i)
{
    if (i < 1 || i > kPresets)
        return {};
    const QString button = defaultText(set, i);
    return button.isEmpty() ? QString() : remote::frequencyCommand(button);
}

QString PresetSet::defaultNodeCall(int set)
{
    return set == 1 ? QString::fromLatin1(kSet1NodeCall) : QString();
}

QString &PresetSet::fieldAt(int keyIndex)
{
    return const_cast<QString &>(std::as_const(*this).fieldAt(keyIndex));
}

const QString &PresetSet::fieldAt(int keyIndex) const
{
    const FieldRef f = fieldOf(keyIndex);
    switch (f.kind) {
    case FieldKind::Button:
    case FieldKind::Label:
        return Text(f.number);
    case FieldKind::Command:
        return Texta(f.number);
    case FieldKind::NodeCall:
        break;
    }
    return NodeCall;
}

QString PresetSet::defaultAt(int keyIndex) const
{
    const FieldRef f = fieldOf(keyIndex);
    switch (f.kind) {
    case FieldKind::Button:
    case FieldKind::Label:
        return defaultText(number_, f.number);
    case FieldKind::Command:
        return defaultTexta(number_, f.number);
    case FieldKind::NodeCall:
        break;
    }
    return defaultNodeCall(number_);
}

} // namespace tavrin
