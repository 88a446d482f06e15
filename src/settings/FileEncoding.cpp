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
    return isValidUtf8(content) ? FileEncoding::Utf8 : FileEncoding::Windows1252;
}

QByteArray toUtf8(const QByteArray &content, FileEncoding encoding)
{
    switch (encoding) {
    case FileEncoding::Utf8:
        return content;
    case FileEncoding::Windows1252:
        return decodeWindows1252(content).toUtf8();
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
