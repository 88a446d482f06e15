#include "support/FakePasswordVault.h"

#include <QMetaObject>

namespace tavrin::test {

void FakePasswordVault::read(const QString &account, Callback done)
{
    requests << QStringLiteral("read ") + account;
    if (mode != Mode::Working)
        return answer(failure(), std::move(done));
    Result r;
    r.ok = true;
    r.password = stored.value(account);
    answer(r, std::move(done));
}

void FakePasswordVault::write(const QString &account, const QString &password, Callback done)
{
    requests << QStringLiteral("write ") + account;
    if (mode != Mode::Working)
        return answer(failure(), std::move(done));
    stored.insert(account, password);
    Result r;
    r.ok = true;
    answer(r, std::move(done));
}

void FakePasswordVault::answer(Result result, Callback done)
{
    QMetaObject::invokeMethod(
        &context_, [result = std::move(result), done = std::move(done)] { done(result); }, Qt::QueuedConnection);
}

PasswordVault::Result FakePasswordVault::failure() const
{
    Result r;
    r.noService = mode == Mode::NoService;
    r.error = r.noService ? QStringLiteral("No keychain service is available on this desktop")
                          : QStringLiteral("The keychain refused access");
    return r;
}

} // namespace tavrin::test
