#pragma once
// The chat window's settings file "kelmmessagebox.ini": its keys, defaults, value
// conversions and the batch that SaveData writes.
//
// Pure data; any thread.

#include "settings/ProfileStore.h"

#include <QString>
#include <QStringList>

#include <array>

namespace tavrin::messaging {

namespace chatkeys {
inline constexpr char kFile[] = "kelmmessagebox.ini";
inline constexpr char kCheck3[] = "CHECK3";
inline constexpr char kCheck5[] = "CHECK5";
inline constexpr char kCheck66[] = "CHECK66";
inline constexpr char kOption1[] = "OPTION1";
inline constexpr char kOption2[] = "OPTION2";
inline constexpr char kExtraCall[] = "EXTRACALL";
inline constexpr char kFilterPrefix[] = "FILTERTEXT";
} // namespace chatkeys

inline constexpr int kFilterCount = 12;

struct ChatSettings {
    bool caseSensitive = true; // CHECK3
    bool showOnLine = false;   // CHECK5
    bool smallText = true;     // CHECK66: 1 small, 0 large
    bool useChat = true;       // OPTION1
    bool stopChat = false;     // OPTION2
    QString extraCall;         // EXTRACALL
    std::array<QString, kFilterCount> filters;

    // Missing keys give the defaults; a value that does not convert gives the default too.
    static ChatSettings read(const ProfileSnapshot &file);
    // Every key, in the file's key order, as SaveData writes them.
    KeyValues toKeyValues() const;
};

// "0"/"1" of a check box; anything else leaves `fallback`.
bool checkValue(const QString &text, bool fallback);
// "True"/"False" in any case, or a number (non-zero is true); anything else leaves `fallback`.
bool optionValue(const QString &text, bool fallback);

} // namespace tavrin::messaging
