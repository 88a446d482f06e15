#pragma once
// Key names a scenario's `key` step understands ("Enter", "Escape", "F5", "A", ...), and the
// text a real key press of that key carries.

#include <QString>
#include <Qt>

#include <optional>

namespace tavrin::scenario {

struct NamedKey {
    Qt::Key key;
    QString text; // what QKeyEvent::text() holds for a plain press ("\r" for Enter)
};

// Case-blind; nullopt for a name we do not know.
std::optional<NamedKey> keyFromName(const QString &name);

} // namespace tavrin::scenario
