// The link password in the Windows Credential Manager: a generic credential per account
// under "Tavrin/<account>", kept for the local user only.
#include "settings/PasswordVault.h"

#include <QTimer>

#include <windows.h>
#include <wincred.h>

#include <string>

namespace tavrin {

namespace {

constexpr char kService[] = "Tavrin";

std::wstring targetOf(const QString &account)
{
    return (QString::fromLatin1(kService) + u'/' + account).toStdWString();
}

PasswordVault::Result failure(DWORD code)
{
    PasswordVault::Result r;
    r.error = QStringLiteral("Credential Manager error %1").arg(code);
    // A locked-down profile without a credential store is "no service", not a refusal.
    r.noService = code == ERROR_NO_SUCH_LOGON_SESSION;
    return r;
}

// The Credential Manager answers at once; the answer still comes from the event loop, as
// every vault's does, so callers see one behaviour everywhere.
void answer(PasswordVault::Callback done, PasswordVault::Result r)
{
    QTimer::singleShot(0, [done = std::move(done), r = std::move(r)] { done(r); });
}

class CredentialVault final : public PasswordVault {
public:
    void read(const QString &account, Callback done) override
    {
        const std::wstring target = targetOf(account);
        PCREDENTIALW cred = nullptr;
        Result r;
        if (CredReadW(target.c_str(), CRED_TYPE_GENERIC, 0, &cred)) {
            r.ok = true;
            r.password = QString::fromUtf8(reinterpret_cast<const char *>(cred->CredentialBlob),
                                           qsizetype(cred->CredentialBlobSize));
            CredFree(cred);
        } else if (const DWORD code = GetLastError(); code == ERROR_NOT_FOUND) {
            r.ok = true; // nothing stored yet
        } else {
            r = failure(code);
        }
        answer(std::move(done), std::move(r));
    }

    void write(const QString &account, const QString &password, Callback done) override
    {
        std::wstring target = targetOf(account);
        std::wstring user = account.toStdWString();
        QByteArray blob = password.toUtf8();
        CREDENTIALW cred{};
        cred.Type = CRED_TYPE_GENERIC;
        cred.TargetName = target.data();
        cred.UserName = user.data();
        cred.CredentialBlob = reinterpret_cast<LPBYTE>(blob.data());
        cred.CredentialBlobSize = DWORD(blob.size());
        cred.Persist = CRED_PERSIST_LOCAL_MACHINE;
        Result r;
        if (CredWriteW(&cred, 0))
            r.ok = true;
        else
            r = failure(GetLastError());
        blob.fill('\0');
        answer(std::move(done), std::move(r));
    }
};

} // namespace

std::unique_ptr<PasswordVault> makeDesktopPasswordVault()
{
    return std::make_unique<CredentialVault>();
}

} // namespace tavrin
