#include "settings/FileEncoding.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <array>

namespace tavrin {

namespace {

constexpr char kUtf16LeBom[] = "\xFF\xFE";
constexpr char kUtf16BeBom[] = "\xFE\xFF";

// Bytes 0x80 to 0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kHighControls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool isValidUtf8(const QByteArray &content)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString ignored = decoder.decode(content);
    return !decoder.hasError();
}

// Length of the well-formed UTF-8 character at `at` (2 to 4 bytes), or 0 when the bytes there
// are ASCII or no UTF-8 character.
int utf8SequenceAt(QByteArrayView bytes, qsizetype at)
{
    const auto byte = [&](qsizetype i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u; };
    const unsigned lead = byte(at);
    int length = 0;
    unsigned low = 0x80; // the range of the second byte; later ones are always 80 ... BF
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80; // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    const unsigned second = byte(at + 1);
    if (second < low || second > high)
        return 0;
    for (int i = 2; i < length; ++i) {
        const unsigned next = byte(at + i);
        if (next < 0x80 || next > 0xBF)
            return 0;
    }
    return length;
}

bool hasUtf8Sequence(QByteArrayView bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0xC2 && utf8SequenceAt(bytes, i) > 0)
            return true;
    }
    return false;
}

QStringConverter::Encoding utf16Of(FileEncoding encoding)
{
    return encoding == FileEncoding::Utf16LE ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
}

} // namespace

FileEncoding detectEncoding(const QByteArray &content)
{
    if (content.startsWith(kUtf16LeBom))
        return FileEncoding::Utf16LE;
    if (content.startsWith(kUtf16BeBom))
        return FileEncoding::Utf16BE;
    if (isValidUtf8(content))
        return FileEncoding::Utf8;
    return hasUtf8Sequence(content) ? FileEncoding::Mixed : FileEncoding::Windows1252;
}

QByteArray toUtf8(const QByteArray &content, FileEncoding encoding)
{
    switch (encoding) {
    case FileEncoding::Utf8:
        return content;
    case FileEncoding::Windows1252:
        return decodeWindows1252(content).toUtf8();
    case FileEncoding::Mixed:
        return decodeMixed(content).toUtf8();
    case FileEncoding::Utf16LE:
    case FileEncoding::Utf16BE: {
        QStringDecoder decoder(utf16Of(encoding), QStringConverter::Flag::Stateless);
        const QString text = decoder.decode(QByteArrayView(content).sliced(2));
        return text.toUtf8();
    }
    }
    return content;
}

std::optional<QByteArray> fromUtf8(const QByteArray &utf8, FileEncoding encoding)
{
    switch (encoding) {
    case FileEncoding::Utf8:
    case FileEncoding::Mixed:
        return utf8;
    case FileEncoding::Windows1252:
        return encodeWindows1252(QString::fromUtf8(utf8));
    case FileEncoding::Utf16LE:
    case FileEncoding::Utf16BE: {
        QStringEncoder encoder(utf16Of(encoding), QStringConverter::Flag::Stateless);
        const QByteArray bom = encoding == FileEncoding::Utf16LE ? kUtf16LeBom : kUtf16BeBom;
        return bom + QByteArray(encoder.encode(QString::fromUtf8(utf8)));
    }
    }
    return std::nullopt;
}

QString decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = (b >= 0x80 && b < 0xA0) ? QChar(kHighControls[b - 0x80]) : QChar(b);
    }
    return text;
}

QString decodeMixed(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    qsizetype ascii = 0; // start of the run of plain bytes not yet added
    for (qsizetype i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        text += QLatin1String(bytes.data() + ascii, i - ascii);
        if (const int length = utf8SequenceAt(bytes, i); length > 0) {
            text += QString::fromUtf8(bytes.sliced(i, length));
            i += length;
        } else {
            text += decodeWindows1252(bytes.sliced(i, 1));
            ++i;
        }
        ascii = i;
    }
    text += QLatin1String(bytes.data() + ascii, bytes.size() - ascii);
    return text;
}

std::optional<QByteArray> encodeWindows1252(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            bytes += char(u);
            continue;
        }
        qsizetype index = -1;
        for (size_t i = 0; i < kHighControls.size(); ++i) {
            if (kHighControls[i] == u) {
                index = qsizetype(i);
                break;
            }
        }
        if (index < 0)
            return std::nullopt;
        bytes += char(0x80 + index);
    }
    return bytes;
}

} // namespace tavrin
