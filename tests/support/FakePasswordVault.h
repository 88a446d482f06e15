#pragma once
// The test double of the keychain: passwords in memory, answered asynchronously (queued on
// the event loop) as the desktop keychain does. It can act as a desktop without a keychain
// service, or as one whose every request fails.

#include "settings/PasswordVault.h"

#include <QHash>
#include <QObject>
#include <QStringList>

namespace tavrin::test {

class FakePasswordVault final : public PasswordVault {
public:
    enum class Mode { Working, NoService, Failing };

    Mode mode = Mode::Working;
    QHash<QString, QString> stored; // account -> password
    QStringList requests;           // "read X", "write X", "remove X", oldest first

    void read(const QString &account, Callback done) override;
    void write(const QString &account, const QString &password, Callback done) override;

private:
    // Answers on the next event-loop pass; nothing is answered once the vault is gone.
    void answer(Result result, Callback done);
    Result failure() const;

    QObject context_;
};

} // namespace tavrin::test
