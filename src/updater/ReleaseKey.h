#pragma once
// The release public key and the check of an Ed25519 signature made with it (over the signed
// release manifest, which names the program's SHA-512 digest: the program itself is hashed
// while it streams to disk, never read whole into memory).
//
// Thread: any. Owns its OpenSSL key.

#include <QByteArray>

#include <memory>

namespace tavrin::updater {

inline constexpr int kDigestSize = 64;    // SHA-512
inline constexpr int kSignatureSize = 64; // Ed25519

class ReleaseKey {
public:
    // `base64` is either the 32 raw key bytes or the DER public-key structure
    // ("MCowBQYDK2VwAyEA..."), base64-encoded. Empty or unreadable text gives a key that is
    // not valid; isEmpty() tells the two apart.
    explicit ReleaseKey(const QByteArray &base64);
    ~ReleaseKey();
    ReleaseKey(ReleaseKey &&) noexcept;
    ReleaseKey &operator=(ReleaseKey &&) noexcept;

    bool isEmpty() const { return empty_; }
    bool isValid() const;

    // True when `signature` is this key's signature over `message`.
    bool verify(const QByteArray &message, const QByteArray &signature) const;

    // The key this build carries (empty when the build was configured without one).
    static QByteArray builtIn();

private:
    struct Key;
    std::unique_ptr<Key> key_;
    bool empty_ = true;
};

} // namespace tavrin::updater
