#pragma once
// SHA-512 fed piece by piece, through OpenSSL (several times faster than QCryptographicHash's
// portable code, which matters at download speed).
//
// Thread: any. Owns its OpenSSL context.

#include <QByteArray>

#include <memory>

namespace tavrin::updater {

class Sha512 {
public:
    Sha512();
    ~Sha512();
    Sha512(const Sha512 &) = delete;
    Sha512 &operator=(const Sha512 &) = delete;

    void reset();
    void add(const char *data, qint64 size);
    // The 64-byte digest of everything added since the last reset; ends the run.
    QByteArray result();

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

} // namespace tavrin::updater
