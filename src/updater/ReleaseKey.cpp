#include "updater/ReleaseKey.h"

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace tavrin::updater {

namespace {

constexpr int kRawKeySize = 32;

struct PkeyDeleter {
    void operator()(EVP_PKEY *p) const { EVP_PKEY_free(p); }
};
struct MdCtxDeleter {
    void operator()(EVP_MD_CTX *p) const { EVP_MD_CTX_free(p); }
};

} // namespace

struct ReleaseKey::Key {
    std::unique_ptr<EVP_PKEY, PkeyDeleter> pkey;
};

ReleaseKey::ReleaseKey(const QByteArray &base64) : key_(std::make_unique<Key>())
{
    const QByteArray text = base64.trimmed();
    empty_ = text.isEmpty();
    if (empty_)
        return;
    const auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return;
    const QByteArray &bytes = *decoded;
    EVP_PKEY *pkey = nullptr;
    if (bytes.size() == kRawKeySize) {
        pkey = EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                           reinterpret_cast<const unsigned char *>(bytes.constData()),
                                           size_t(bytes.size()));
    } else {
        const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
        pkey = d2i_PUBKEY(nullptr, &p, long(bytes.size()));
    }
    if (pkey && EVP_PKEY_get_id(pkey) != EVP_PKEY_ED25519) {
        EVP_PKEY_free(pkey); // some other kind of key: not ours to trust
        pkey = nullptr;
    }
    key_->pkey.reset(pkey);
}

ReleaseKey::~ReleaseKey() = default;
ReleaseKey::ReleaseKey(ReleaseKey &&) noexcept = default;
ReleaseKey &ReleaseKey::operator=(ReleaseKey &&) noexcept = default;

bool ReleaseKey::isValid() const { return key_ && key_->pkey; }

bool ReleaseKey::verify(const QByteArray &message, const QByteArray &signature) const
{
    if (!isValid() || signature.size() != kSignatureSize)
        return false;
    std::unique_ptr<EVP_MD_CTX, MdCtxDeleter> ctx(EVP_MD_CTX_new());
    // Ed25519 hashes the message itself: no separate digest.
    if (!ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key_->pkey.get()) != 1)
        return false;
    return EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char *>(signature.constData()),
                            size_t(signature.size()),
                            reinterpret_cast<const unsigned char *>(message.constData()), size_t(message.size()))
        == 1;
}

QByteArray ReleaseKey::builtIn()
{
#ifdef TAVRIN_RELEASE_PUBLIC_KEY
    return QByteArray(TAVRIN_RELEASE_PUBLIC_KEY);
#else
    return {};
#endif
}

} // namespace tavrin::updater
