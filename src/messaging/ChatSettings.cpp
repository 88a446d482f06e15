#include "messaging/ChatSettings.h"

namespace tavrin::messaging {

using namespace chatkeys;

namespace {

QString filterKey(int number) { return QLatin1String(kFilterPrefix) + QString::number(number); }
QString flag(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }
QString truth(bool on) { return on ? QStringLiteral("True") : QStringLiteral("False"); }

} // namespace

bool checkValue(const QString &text, bool fallback)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || (value != 0 && value != 1))
        return fallback;
    return value == 1;
}

bool optionValue(const QString &text, bool fallback)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double value = t.toDouble(&ok);
    return ok ? value != 0.0 : fallback;
}

ChatSettings ChatSettings::read(const ProfileSnapshot &file)
{
    ChatSettings s;
    const auto get = [&file](const char *key, const char *fallback) {
        return file.ReadSetting(QLatin1String(key), QLatin1String(fallback));
    };
    s.caseSensitive = checkValue(get(kCheck3, "1"), true);
    s.showOnLine = checkValue(get(kCheck5, "0"), false);
    s.smallText = checkValue(get(kCheck66, "1"), true);
    s.useChat = optionValue(get(kOption1, "1"), true);
    s.stopChat = optionValue(get(kOption2, "0"), false);
    s.extraCall = get(kExtraCall, "");
    for (int k = 0; k < kFilterCount; ++k)
        s.filters.at(size_t(k)) = file.ReadSetting(filterKey(k + 1), QString());
    return s;
}

KeyValues ChatSettings::toKeyValues() const
{
    KeyValues v;
    v.append({QLatin1String(kCheck3), flag(caseSensitive)});
    v.append({QLatin1String(kCheck5), flag(showOnLine)});
    v.append({QLatin1String(kCheck66), flag(smallText)});
    v.append({QLatin1String(kOption1), truth(useChat)});
    v.append({QLatin1String(kOption2), truth(stopChat)});
    v.append({QLatin1String(kExtraCall), extraCall});
    for (int k = 0; k < kFilterCount; ++k)
        v.append({filterKey(k + 1), filters.at(size_t(k))});
    return v;
}

} // namespace tavrin::messaging
