#include "settings/PasswordVault.h"

#include <qt6keychain/keychain.h>

#include <QObject>

namespace tavrin {

namespace {

constexpr char kService[] = "Tavrin";
constexpr char kNoServiceText[] = "No keychain service is available on this desktop";

// Errors that say there is no keychain to talk to, rather than that one refused.
bool meansNoService(QKeychain::Error error)
{
    return error == QKeychain::NoBackendAvailable || error == QKeychain::NotImplemented;
}

// Without a session bus or a secret service on it, the Linux back ends report OtherError
// (with a D-Bus text, libsecret's "Could not connect: ...", or just "Unknown error") instead
// of NoBackendAvailable.
bool textMeansNoService(const QString &text)
{
    static const char *const kMarks[] = {
        "org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NotSupported",
        "org.freedesktop.DBus.Error.NoServer",       "org.freedesktop.secrets",
        "Cannot autolaunch D-Bus",                   "Could not connect to D-Bus",
        "No D-Bus session",                          "Could not connect:",
        "Unknown error",
    };
    for (const char *mark : kMarks)
        if (text.contains(QLatin1String(mark), Qt::CaseInsensitive))
            return true;
    return false;
}

PasswordVault::Result resultOf(const QKeychain::Job &job, bool notFoundIsOk)
{
    PasswordVault::Result r;
    const QKeychain::Error error = job.error();
    if (error == QKeychain::NoError || (notFoundIsOk && error == QKeychain::EntryNotFound)) {
        r.ok = true;
        return r;
    }
    r.noService = meansNoService(error) || (error == QKeychain::OtherError && textMeansNoService(job.errorString()));
    r.error = r.noService ? QString::fromLatin1(kNoServiceText) : job.errorString();
    if (r.error.isEmpty())
        r.error = QStringLiteral("Keychain error %1").arg(int(error));
    return r;
}

// Runs a job and answers once when it finishes. The job deletes itself afterwards; the
// callback holds no pointer to the vault, so it may outlive it.
template <class Job, class Finish>
void run(Job *job, const QString &account, Finish finish)
{
    job->setAutoDelete(true);
    // Never a plain-text file in place of the keychain.
    job->setInsecureFallback(false);
    job->setKey(account);
    QObject::connect(job, &QKeychain::Job::finished, job, [job, finish](QKeychain::Job *) { finish(*job); });
    job->start();
}

class DesktopPasswordVault final : public PasswordVault {
public:
    void read(const QString &account, Callback done) override
    {
        run(new QKeychain::ReadPasswordJob(QString::fromLatin1(kService)), account,
            [done = std::move(done)](const QKeychain::ReadPasswordJob &job) {
                Result r = resultOf(job, true);
                if (r.ok && job.error() == QKeychain::NoError)
                    r.password = job.textData();
                done(r);
            });
    }

    void write(const QString &account, const QString &password, Callback done) override
    {
        auto *job = new QKeychain::WritePasswordJob(QString::fromLatin1(kService));
        job->setTextData(password);
        run(job, account, [done = std::move(done)](const QKeychain::WritePasswordJob &j) { done(resultOf(j, false)); });
    }
};

} // namespace

std::unique_ptr<PasswordVault> makeDesktopPasswordVault()
{
    return std::make_unique<DesktopPasswordVault>();
}

} // namespace tavrin
