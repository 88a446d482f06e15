#pragma once
// Text that arrives as bytes without a declared encoding (chat lines and station text from
// other stations, directory entries): UTF-8 when the bytes are valid UTF-8, otherwise the
// Windows code page (Windows-1252), which is what Windows programs send. Latin-1 would turn
// "€", curly quotes and dashes into invisible control characters.

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

namespace tavrin {

inline QString decodeUtf8OrWindows1252(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    // 0x80-0x9F differ from Latin-1; the five codes the code page leaves unassigned keep their
    // value, as Windows itself maps them.
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    text.resize(bytes.size());
    QChar *out = text.data();
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        *out++ = QChar(b >= 0x80 && b <= 0x9F ? kHigh[b - 0x80] : char16_t(b));
    }
    return text;
}

} // namespace tavrin
