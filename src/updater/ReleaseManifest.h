#pragma once
// The signed release manifest published beside the program (its address with ".manifest"
// appended). It binds the release key's signature to the version, the size and the SHA-512
// digest of the program file, so an older release, another file or a longer download can
// never pass as the release it claims to be. Text, one field a line:
//
//   Tavrin release manifest 1
//   version 1.2.3
//   size 123456
//   sha512 <128 lower-case hex digits>
//   signature <base64 Ed25519 signature over every byte of the four lines above>
//
// Thread: any. Plain functions and a value.

#include <QByteArray>
#include <QString>

namespace tavrin::updater {

class ReleaseKey;

struct ReleaseManifest {
    static constexpr qint64 kMaxBytes = 4096; // a manifest is a few hundred bytes

    QString version; // "1.2.3"
    qint64 size = 0;
    QByteArray sha512; // 64 raw bytes

    // The signed part of a manifest: its first four lines.
    static QByteArray signedText(const QString &version, qint64 size, const QByteArray &sha512);

    // Reads and checks `text`: well formed and signed by `key`. Returns false with `error`
    // worded for the user otherwise.
    static bool read(const QByteArray &text, const ReleaseKey &key, ReleaseManifest *manifest, QString *error);
};

// The three numbers of "major.minor.revision"; false for anything else.
bool parseVersion(const QString &text, int numbers[3]);

// True when `candidate` is a later version than `running`; false also when either is not a
// version at all.
bool isNewerVersion(const QString &candidate, const QString &running);

} // namespace tavrin::updater
