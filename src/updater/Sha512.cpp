#include "updater/Sha512.h"

#include <openssl/evp.h>

namespace tavrin::updater {

struct Sha512::Context {
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(ctx); }
};

Sha512::Sha512() : context_(std::make_unique<Context>()) { reset(); }
Sha512::~Sha512() = default;

void Sha512::reset() { EVP_DigestInit_ex(context_->ctx, EVP_sha512(), nullptr); }

void Sha512::add(const char *data, qint64 size)
{
    EVP_DigestUpdate(context_->ctx, data, size_t(size));
}

QByteArray Sha512::result()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context_->ctx, digest, &length) != 1)
        return {};
    return QByteArray(reinterpret_cast<const char *>(digest), int(length));
}

} // namespace tavrin::updater
