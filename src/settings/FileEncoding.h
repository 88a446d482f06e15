#pragma once
// How a settings file's bytes become text and back. Files we create are UTF-8. Files made by
// Windows programs are usually in the 8-bit code page (Windows-1252), or UTF-16 with a
// byte-order mark when Notepad saved them as "Unicode"; such a file is read in its own
// encoding and written back in it, so a save never leaves a file in two encodings. A UTF-8
// file that an old editor added code-page characters to holds both: each character is read
// in the encoding it was written in.
//
// Plain functions, any thread.

#include <QByteArray>
#include <QString>

#include <optional>

namespace tavrin {

enum class FileEncoding {
    Utf8,        // also plain ASCII; a UTF-8 byte-order mark stays part of the content
    Windows1252, // not valid UTF-8, and no UTF-8 character in it
    Mixed,       // UTF-8 characters and bytes that are not UTF-8: the latter are Windows-1252
    Utf16LE,     // byte-order mark FF FE
    Utf16BE,     // byte-order mark FE FF
};

FileEncoding detectEncoding(const QByteArray &content);

// The content as UTF-8. UTF-8 content comes back unchanged; UTF-16 loses its byte-order mark.
QByteArray toUtf8(const QByteArray &content, FileEncoding encoding);
// The inverse: UTF-8 content in `encoding` (UTF-16 with its byte-order mark), or nullopt
// when a character has no place in it (Windows-1252 lacks most of Unicode). Mixed gives
// UTF-8: which characters were in the code page is not known any more.
std::optional<QByteArray> fromUtf8(const QByteArray &utf8, FileEncoding encoding);

// Windows-1252. The five bytes the code page leaves undefined map to the control characters
// of the same number, as Windows itself maps them, so every byte survives the round trip.
QString decodeWindows1252(QByteArrayView bytes);
std::optional<QByteArray> encodeWindows1252(QStringView text);
// UTF-8 where the bytes form UTF-8 characters, Windows-1252 for every other byte.
QString decodeMixed(QByteArrayView bytes);

} // namespace tavrin
