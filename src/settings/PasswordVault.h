#pragma once
// Where the link password is kept: the desktop keychain, never a file.
//
// Asynchronous, as keychains are: each request ends in exactly one call of its callback,
// on the caller's thread. Tests use a fake (tests/support).

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace tavrin {

class PasswordVault {
public:
    struct Result {
        bool ok = false;
        QString password; // read: the stored password (empty when none is stored)
        QString error;    // not ok: why, readable by the operator
        bool noService = false; // no keychain service on this desktop
    };
    using Callback = std::function<void(const Result &)>;

    virtual ~PasswordVault() = default;
    virtual void read(const QString &account, Callback done) = 0;
    virtual void write(const QString &account, const QString &password, Callback done) = 0;
};

// The desktop keychain through QtKeychain, under the service name "Tavrin".
std::unique_ptr<PasswordVault> makeDesktopPasswordVault();

} // namespace tavrin
