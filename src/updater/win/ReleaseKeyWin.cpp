// The release key without OpenSSL: the raw key or its DER public-key structure, checked
// with our own Ed25519.
#include "updater/ReleaseKey.h"

#include "updater/Ed25519.h"

namespace tavrin::updater {

namespace {

constexpr int kRawKeySize = 32;
// SEQUENCE { SEQUENCE { OID 1.3.101.112 (Ed25519) } BIT STRING (32 bytes) }
constexpr char kDerPrefix[] = "\x30\x2a\x30\x05\x06\x03\x2b\x65\x70\x03\x21\x00";
constexpr int kDerPrefixSize = sizeof kDerPrefix - 1;

} // namespace

struct ReleaseKey::Key {
    QByteArray raw; // empty: not a usable key
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
    if (bytes.size() == kRawKeySize)
        key_->raw = bytes;
    else if (bytes.size() == kDerPrefixSize + kRawKeySize && bytes.startsWith(QByteArray(kDerPrefix, kDerPrefixSize)))
        key_->raw = bytes.mid(kDerPrefixSize);
    // Anything else is some other kind of key: not ours to trust.
}

ReleaseKey::~ReleaseKey() = default;
ReleaseKey::ReleaseKey(ReleaseKey &&) noexcept = default;
ReleaseKey &ReleaseKey::operator=(ReleaseKey &&) noexcept = default;

bool ReleaseKey::isValid() const { return key_ && !key_->raw.isEmpty(); }

bool ReleaseKey::verify(const QByteArray &message, const QByteArray &signature) const
{
    return isValid() && ed25519Verify(key_->raw, message, signature);
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
