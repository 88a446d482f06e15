// SHA-512 through the system's CNG (bcrypt), which is what Windows has in place of OpenSSL.
#include "updater/Sha512.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>

namespace tavrin::updater {

struct Sha512::Context {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool failed = false;

    Context() { BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA512_ALGORITHM, nullptr, 0); }
    ~Context()
    {
        closeHash();
        if (algorithm)
            BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    void closeHash()
    {
        if (hash)
            BCryptDestroyHash(hash);
        hash = nullptr;
    }
};

Sha512::Sha512() : context_(std::make_unique<Context>()) { reset(); }
Sha512::~Sha512() = default;

void Sha512::reset()
{
    context_->closeHash();
    context_->failed = !context_->algorithm
        || !BCRYPT_SUCCESS(BCryptCreateHash(context_->algorithm, &context_->hash, nullptr, 0, nullptr, 0, 0));
}

void Sha512::add(const char *data, qint64 size)
{
    // CNG takes at most 4 GiB a call.
    while (!context_->failed && size > 0) {
        const ULONG piece = ULONG(std::min<qint64>(size, 1 << 30));
        if (!BCRYPT_SUCCESS(BCryptHashData(context_->hash, reinterpret_cast<PUCHAR>(const_cast<char *>(data)), piece, 0)))
            context_->failed = true;
        data += piece;
        size -= piece;
    }
}

QByteArray Sha512::result()
{
    QByteArray digest(64, '\0');
    const bool ok = !context_->failed
        && BCRYPT_SUCCESS(BCryptFinishHash(context_->hash, reinterpret_cast<PUCHAR>(digest.data()), 64, 0));
    context_->closeHash();
    context_->failed = true;
    // A failed hash is no digest: it must never match a manifest.
    return ok ? digest : QByteArray();
}

} // namespace tavrin::updater
