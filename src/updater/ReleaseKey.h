#pragma once
// The release public key and the check of a download's detached signature: an Ed25519
// signature over the 64-byte SHA-512 digest of the program file. The digest is computed while
// the file streams to disk, so the file is never read whole into memory (Ed25519 itself
// cannot be fed in pieces).
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

    // True when `signature` is this key's signature over `digest`.
    bool verifyDigest(const QByteArray &digest, const QByteArray &signature) const;

    // The key this build carries (empty when the build was configured without one).
    static QByteArray builtIn();

private:
    struct Key;
    std::unique_ptr<Key> key_;
    bool empty_ = true;
};

} // namespace tavrin::updater
