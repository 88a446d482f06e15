#include "core/RadioSettings.h"

#include <QLocale>

namespace tavrin {

namespace {

constexpr int kOptionsStart = RadioSettings::kUserFrequencies;
constexpr int kSetsStart = kOptionsStart + RadioSettings::kBands;
constexpr int kKeyCount = kSetsStart + RadioSettings::kSets;

const char kTrueText[] = "True";
const char kFalseText[] = "False";

QStringList readKeyList()
{
    QStringList list;
    for (int i = 0; i < RadioSettings::kUserFrequencies; ++i)
        list << QStringLiteral("Text%1").arg(5 + i);
    for (int b = 1; b <= RadioSettings::kBands; ++b)
        list << QStringLiteral("Option%1").arg(b);
    for (int k = 1; k <= RadioSettings::kSets; ++k)
        list << QStringLiteral("Option%1x").arg(k);
    return list;
}

} // namespace

QStringList RadioSettings::readKeys() { return readKeyList(); }
QStringList RadioSettings::writeKeys() { return writtenKeys(readKeys()); }

QString RadioSettings::defaultValue(int keyIndex)
{
    if (keyIndex == 0)
        return QStringLiteral("3.6950");
    if (keyIndex < kOptionsStart)
        return {};
    if (keyIndex == kOptionsStart || keyIndex == kSetsStart)
        return QStringLiteral("1");
    return QStringLiteral("0");
}

RadioSettings RadioSettings::read(const ProfileSnapshot &snapshot)
{
    const QStringList names = readKeys();
    RadioSettings s;
    for (int i = 0; i < kKeyCount; ++i) {
        const QString value = snapshot.ReadSetting(names.at(i), defaultValue(i));
        if (i < kOptionsStart)
            s.userFrequencies.at(i) = value;
        else if (i < kSetsStart)
            s.bands.at(i - kOptionsStart) = booleanFromText(value);
        else
            s.sets.at(i - kSetsStart) = booleanFromText(value);
    }
    return s;
}

KeyValues radioSettingsValues(const std::array<QString, RadioSettings::kUserFrequencies> &userFrequencies,
                              const std::array<bool, RadioSettings::kBands> &bands,
                              const std::array<bool, RadioSettings::kSets> &sets)
{
    const QStringList names = RadioSettings::writeKeys();
    KeyValues values;
    int i = 0;
    for (const QString &f : userFrequencies)
        values.append({names.at(i++), f});
    for (bool b : bands)
        values.append({names.at(i++), booleanText(b)});
    for (bool k : sets)
        values.append({names.at(i++), booleanText(k)});
    return values;
}

std::optional<bool> booleanFromText(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String(kTrueText), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String(kFalseText), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double number = QLocale::c().toDouble(t, &ok);
    if (!ok)
        return std::nullopt;
    return number != 0.0;
}

QString booleanText(bool value) { return QLatin1String(value ? kTrueText : kFalseText); }

} // namespace tavrin
