#include "updater/ReleaseManifest.h"

#include "updater/ReleaseKey.h"
#include "updater/UpdaterTexts.h"

#include <QList>
#include <QRegularExpression>

#include <algorithm>

namespace tavrin::updater {

namespace {

constexpr char kHeader[] = "Tavrin release manifest 1";
constexpr char kVersionField[] = "version ";
constexpr char kSizeField[] = "size ";
constexpr char kDigestField[] = "sha512 ";
constexpr char kSignatureField[] = "signature ";

// The value of `line` after `field`, or a null array when the line is another field.
QByteArray valueOf(const QByteArray &line, const char *field)
{
    return line.startsWith(field) ? line.mid(qsizetype(qstrlen(field))) : QByteArray();
}

} // namespace

QByteArray ReleaseManifest::signedText(const QString &version, qint64 size, const QByteArray &sha512)
{
    return QByteArray(kHeader) + '\n' + kVersionField + version.toLatin1() + '\n' + kSizeField
        + QByteArray::number(size) + '\n' + kDigestField + sha512.toHex() + '\n';
}

bool ReleaseManifest::read(const QByteArray &text, const ReleaseKey &key, ReleaseManifest *manifest, QString *error)
{
    *error = QString::fromLatin1(kBadManifest);
    // Four signed lines, then the signature line; a final line break is optional.
    const qsizetype signatureAt = text.indexOf(QByteArray("\n") + kSignatureField);
    if (signatureAt < 0)
        return false;
    const QByteArray signedPart = text.left(signatureAt + 1);
    const QList<QByteArray> lines = signedPart.chopped(1).split('\n');
    if (lines.size() != 4 || lines.at(0) != kHeader)
        return false;
    const QByteArray signatureText = text.mid(signatureAt + 1 + qsizetype(qstrlen(kSignatureField))).trimmed();
    const auto signature = QByteArray::fromBase64Encoding(signatureText, QByteArray::AbortOnBase64DecodingErrors);
    if (!signature || (*signature).size() != kSignatureSize)
        return false;
    // Nothing of the file is believed before the signature holds.
    if (!key.verify(signedPart, *signature)) {
        *error = QString::fromLatin1(kBadSignature);
        return false;
    }

    ReleaseManifest m;
    m.version = QString::fromLatin1(valueOf(lines.at(1), kVersionField));
    int numbers[3];
    if (!parseVersion(m.version, numbers))
        return false;
    bool sizeOk = false;
    m.size = valueOf(lines.at(2), kSizeField).toLongLong(&sizeOk);
    const QByteArray hex = valueOf(lines.at(3), kDigestField);
    m.sha512 = QByteArray::fromHex(hex);
    if (!sizeOk || m.size <= 0 || hex.size() != kDigestSize * 2 || m.sha512.toHex() != hex.toLower())
        return false;
    *manifest = m;
    error->clear();
    return true;
}

bool parseVersion(const QString &text, int numbers[3])
{
    // Anchored whole: a plain "$" would let a final line break through.
    static const QRegularExpression form(
        QRegularExpression::anchoredPattern(QStringLiteral("(\\d{1,9})\\.(\\d{1,9})\\.(\\d{1,9})")));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return false;
    for (int i = 0; i < 3; ++i)
        numbers[i] = match.captured(i + 1).toInt();
    return true;
}

bool isNewerVersion(const QString &candidate, const QString &running)
{
    int a[3], b[3];
    if (!parseVersion(candidate, a) || !parseVersion(running, b))
        return false;
    return std::lexicographical_compare(b, b + 3, a, a + 3);
}

} // namespace tavrin::updater
