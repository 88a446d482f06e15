#pragma once
// Shared pieces of the updater tests: a release key pair made at test time, a message-box
// recorder, a program starter that records, and options pointing at a local server.

#include "ui/Dialogs.h"
#include "common/PlatformNames.h"
#include "support/LocalHttpServer.h"
#include "updater/ReleaseManifest.h"
#include "updater/UpdaterSetup.h"
#include "updater/UpdaterWindow.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

namespace tavrin::updater::test {

class TestKeyPair {
public:
    TestKeyPair() : pkey_(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519")) {}
    ~TestKeyPair() { EVP_PKEY_free(pkey_); }
    TestKeyPair(const TestKeyPair &) = delete;
    TestKeyPair &operator=(const TestKeyPair &) = delete;

    // DER public-key structure, base64: the form the build takes.
    QByteArray publicBase64() const
    {
        unsigned char *der = nullptr;
        const int length = i2d_PUBKEY(pkey_, &der);
        QByteArray out(reinterpret_cast<const char *>(der), length);
        OPENSSL_free(der);
        return out.toBase64();
    }
    QByteArray rawPublicBase64() const
    {
        unsigned char raw[32];
        size_t length = sizeof raw;
        EVP_PKEY_get_raw_public_key(pkey_, raw, &length);
        return QByteArray(reinterpret_cast<const char *>(raw), qsizetype(length)).toBase64();
    }
    // Ed25519 over `message`.
    QByteArray sign(const QByteArray &message) const
    {
        EVP_MD_CTX *ctx = EVP_MD_CTX_new();
        unsigned char signature[64];
        size_t length = sizeof signature;
        EVP_DigestSignInit(ctx, nullptr, nullptr, nullptr, pkey_);
        EVP_DigestSign(ctx, signature, &length, reinterpret_cast<const unsigned char *>(message.constData()),
                       size_t(message.size()));
        EVP_MD_CTX_free(ctx);
        return QByteArray(reinterpret_cast<const char *>(signature), qsizetype(length));
    }
    // A release manifest for `content`, as tools/sign-release writes it.
    QByteArray manifest(const QByteArray &content, const QString &version = QStringLiteral("1.2.3")) const
    {
        const QByteArray text = ReleaseManifest::signedText(version, content.size(),
                                                            QCryptographicHash::hash(content, QCryptographicHash::Sha512));
        return text + "signature " + sign(text).toBase64() + '\n';
    }

private:
    EVP_PKEY *pkey_;
};

class RecordingDialogs final : public Dialogs {
public:
    QMessageBox::StandardButton message(QWidget *, QMessageBox::Icon, const QString &, const QString &text,
                                        QMessageBox::StandardButtons) override
    {
        texts.append(text);
        return QMessageBox::Ok;
    }
    QStringList texts;
};

struct StartRecord {
    QString program;
    QStringList arguments;
};

// Content that differs at every byte position, so a lost or repeated block shows.
inline QByteArray programBytes(qsizetype size, char seed = 1)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + seed + i / 251) & 0xff);
    return bytes;
}

// A program directory with an installed program (version 1.2.2), a local server offering a
// signed new one, and an updater window wired to both.
struct UpdaterRig {
    static constexpr char kOldProgram[] = "old program";

    UpdaterRig() { installOld(); }

    QTemporaryDir dir;
    tavrin::test::LocalHttpServer server;
    TestKeyPair key;
    RecordingDialogs dialogs;
    QList<StartRecord> started;
    bool starterWorks = true;
    std::unique_ptr<UpdaterWindow> window;

    QString programDir() const { return dir.path() + u'/'; }
    QString target() const { return programDir() + QLatin1String(platform::kMainProgramFile); }

    void installOld()
    {
        QFile file(target());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(kOldProgram);
    }
    QByteArray installed() const
    {
        QFile file(target());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Files in the program directory other than the program and its backup.
    QStringList strayFiles() const
    {
        QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        names.removeAll(QLatin1String(platform::kMainProgramFile));
        names.removeAll(QLatin1String(platform::kMainProgramFile) + QLatin1String(".previous"));
        return names;
    }

    // Offers `content` at /Tavrin.exe as release 1.2.3, its manifest naming other content
    // when told so.
    void offer(const QByteArray &content, bool signedWell = true)
    {
        server.setBody("/Tavrin.exe", content);
        QByteArray named = content;
        if (!signedWell)
            named[0] = char(named[0] ^ 1);
        server.setBody("/Tavrin.exe.manifest", key.manifest(named));
    }

    UpdaterOptions options(const QString &defaultDir = QStringLiteral("/nonexistent/default/"))
    {
        UpdaterOptions o;
        o.programDirectory = programDir();
        o.defaultProgramDirectory = defaultDir;
        o.downloadUrl = server.url(QStringLiteral("/Tavrin.exe"));
        o.webUrl = QStringLiteral("http://www.tavrin.example/");
        o.releaseKey = key.publicBase64();
        o.runningVersion = QStringLiteral("1.2.2");
        o.programArguments = {QStringLiteral("--settings-dir"), QStringLiteral("/cfg")};
        o.stallTimeoutMs = 10000; // a busy machine must not look like a stalled server
        o.startProgram = [this](const QString &program, const QStringList &arguments) {
            started.append({program, arguments});
            return starterWorks;
        };
        o.dialogs = &dialogs;
        return o;
    }
    UpdaterWindow &open(const UpdaterOptions &o)
    {
        window = std::make_unique<UpdaterWindow>(o);
        window->show();
        return *window;
    }
    UpdaterWindow &open() { return open(options()); }

    template <typename T> T *find(const char *name) const { return window->findChild<T *>(QLatin1String(name)); }
    QString status() const { return find<QLabel>("Label2")->text(); }

    // Presses "Update" and waits for the outcome; true on success.
    bool update(int timeoutMs = 10000)
    {
        QSignalSpy done(&window->download(), &UpdateDownload::finished);
        QTest::mouseClick(find<QPushButton>("Command3"), Qt::LeftButton);
        if (!done.wait(timeoutMs) && done.isEmpty())
            return false;
        return done.first().at(0).toBool();
    }
};

} // namespace tavrin::updater::test
