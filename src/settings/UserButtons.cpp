#include "settings/UserButtons.h"

namespace tavrin {

namespace {

constexpr char kFileName[] = "TVRbuttons.ini";
constexpr char kReadPrefix[] = "Text";
constexpr char kCommandSuffix[] = "a";

// The distant node's voice, signal-report, squelch and preamplifier queries; buttons 6 ... 12
// start empty.
constexpr int kPresetButtons = 5;
constexpr const char *kDefaultCaptions[kPresetButtons] = {"Voice On/Off", "Signal Report", "SQL Active",
                                                          "SQL Disable", "PreAmp On/Off"};
constexpr const char *kDefaultCommands[kPresetButtons] = {"CV?", "SR?", "CVSA?", "CVSD?", "CPA?"};

QStringList keysWithPrefix(const char *prefix)
{
    QStringList keys;
    keys.reserve(UserButtons::kKeyCount);
    for (int k = 1; k <= UserButtons::kButtons; ++k)
        keys << QLatin1String(prefix) + QString::number(k);
    for (int k = 1; k <= UserButtons::kButtons; ++k)
        keys << QLatin1String(prefix) + QString::number(k) + QLatin1String(kCommandSuffix);
    return keys;
}

} // namespace

UserButtons::UserButtons()
{
    for (int i = 0; i < kKeyCount; ++i)
        fieldAt(i) = defaultAt(i);
}

QString UserButtons::fileName()
{
    return QString::fromLatin1(kFileName);
}

QStringList UserButtons::captions() const
{
    QStringList list;
    list.reserve(kButtons);
    for (const QString &c : captions_)
        list << c;
    return list;
}

QString UserButtons::defaultCaption(int k)
{
    return k >= 1 && k <= kPresetButtons ? QString::fromLatin1(kDefaultCaptions[k - 1]) : QString();
}

QString UserButtons::defaultCommand(int k)
{
    return k >= 1 && k <= kPresetButtons ? QString::fromLatin1(kDefaultCommands[k - 1]) : QString();
}

QStringList UserButtons::readKeys()
{
    static const QStringList keys = keysWithPrefix(kReadPrefix);
    return keys;
}

QStringList UserButtons::writeKeys()
{
    static const QStringList keys = writtenKeys(readKeys());
    return keys;
}

void UserButtons::load(const ProfileStore &store)
{
    const ProfileSnapshot snapshot = store.load(fileName());
    const QStringList keys = readKeys();
    for (int i = 0; i < kKeyCount; ++i)
        fieldAt(i) = snapshot.ReadSetting(keys.at(i), defaultAt(i));
}

SaveResult UserButtons::SaveData(ProfileStore &store) const
{
    const QStringList keys = writeKeys();
    KeyValues values;
    values.reserve(kKeyCount);
    for (int i = 0; i < kKeyCount; ++i)
        values.append({keys.at(i), fieldAt(i)});
    return store.writeBatch(fileName(), values);
}

QString &UserButtons::fieldAt(int keyIndex)
{
    return const_cast<QString &>(std::as_const(*this).fieldAt(keyIndex));
}

const QString &UserButtons::fieldAt(int keyIndex) const
{
    return keyIndex < kButtons ? caption(keyIndex + 1) : command(keyIndex - kButtons + 1);
}

QString UserButtons::defaultAt(int keyIndex)
{
    return keyIndex < kButtons ? defaultCaption(keyIndex + 1) : defaultCommand(keyIndex - kButtons + 1);
}

} // namespace tavrin
