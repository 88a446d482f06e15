#include "scenario/KeyNames.h"

#include <QHash>

namespace tavrin::scenario {

std::optional<NamedKey> keyFromName(const QString &name)
{
    static const QHash<QString, NamedKey> named = {
        {QStringLiteral("enter"), {Qt::Key_Return, QStringLiteral("\r")}},
        {QStringLiteral("return"), {Qt::Key_Return, QStringLiteral("\r")}},
        {QStringLiteral("escape"), {Qt::Key_Escape, QStringLiteral("\x1b")}},
        {QStringLiteral("esc"), {Qt::Key_Escape, QStringLiteral("\x1b")}},
        {QStringLiteral("tab"), {Qt::Key_Tab, QStringLiteral("\t")}},
        {QStringLiteral("backspace"), {Qt::Key_Backspace, QStringLiteral("\b")}},
        {QStringLiteral("delete"), {Qt::Key_Delete, QStringLiteral("\x7f")}},
        {QStringLiteral("space"), {Qt::Key_Space, QStringLiteral(" ")}},
        {QStringLiteral("up"), {Qt::Key_Up, {}}},
        {QStringLiteral("down"), {Qt::Key_Down, {}}},
        {QStringLiteral("left"), {Qt::Key_Left, {}}},
        {QStringLiteral("right"), {Qt::Key_Right, {}}},
        {QStringLiteral("home"), {Qt::Key_Home, {}}},
        {QStringLiteral("end"), {Qt::Key_End, {}}},
        {QStringLiteral("pageup"), {Qt::Key_PageUp, {}}},
        {QStringLiteral("pagedown"), {Qt::Key_PageDown, {}}},
    };
    const QString lower = name.toLower();
    if (auto it = named.constFind(lower); it != named.constEnd())
        return *it;
    // F1 ... F12
    if (lower.size() >= 2 && lower.at(0) == u'f') {
        bool ok = false;
        const int n = lower.mid(1).toInt(&ok);
        if (ok && n >= 1 && n <= 12)
            return NamedKey{Qt::Key(Qt::Key_F1 + n - 1), {}};
    }
    // A single letter or digit stands for itself.
    if (name.size() == 1 && name.at(0).isLetterOrNumber() && name.at(0).unicode() < 128) {
        const QChar c = name.at(0);
        return NamedKey{Qt::Key(c.toUpper().unicode()), QString(c)};
    }
    return std::nullopt;
}

} // namespace tavrin::scenario
