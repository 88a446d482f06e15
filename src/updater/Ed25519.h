#pragma once
// Ed25519 signature check (RFC 8032) for builds without OpenSSL (Windows): small and
// constant-structure rather than fast; it runs once per update. Hashing goes through Sha512.
//
// Thread: any; no state.

#include <QByteArray>

namespace tavrin::updater {

// True when `signature` (64 bytes) is the signature of `message` under the 32-byte
// `publicKey`. Rejects malformed keys and non-canonical signatures (S >= L).
bool ed25519Verify(const QByteArray &publicKey, const QByteArray &message, const QByteArray &signature);

} // namespace tavrin::updater
