// UTF-8 <-> UTF-16 by hand: the result must not depend on the thread's locale or code page.
#include "echolink/com/ComInternal.h"

#include <cstdio>

namespace tavrin::com {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

void appendUtf16(std::u16string &out, char32_t cp)
{
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void appendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

ComError::ComError(const std::string &operation, std::int32_t hresult, const std::string &description)
    : std::runtime_error([&] {
          char code[16];
          std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hresult));
          std::string text = operation + " failed (" + code + ")";
          if (!description.empty())
              text += ": " + description;
          return text;
      }()),
      operation_(operation), hresult_(hresult), description_(description)
{
}

std::u16string utf8ToUtf16(const std::string &text)
{
    std::u16string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        // Length and the allowed range of the second byte (rules out overlong forms,
        // surrogates and values past U+10FFFF).
        int length = 0;
        unsigned char low = 0x80, high = 0xBF;
        char32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            cp = c & 0x0F;
            if (c == 0xE0)
                low = 0xA0;
            if (c == 0xED)
                high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            cp = c & 0x07;
            if (c == 0xF0)
                low = 0x90;
            if (c == 0xF4)
                high = 0x8F;
        } else {
            appendUtf16(out, kReplacement);
            ++i;
            continue;
        }
        // One U+FFFD for the longest valid beginning of a broken sequence.
        std::size_t j = i + 1;
        bool ok = true;
        for (int k = 1; k < length; ++k, ++j) {
            const unsigned char b = j < n ? static_cast<unsigned char>(text[j]) : 0;
            const bool valid = j < n && (k == 1 ? (b >= low && b <= high) : isContinuation(b));
            if (!valid) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (b & 0x3F);
        }
        appendUtf16(out, ok ? cp : kReplacement);
        i = j;
    }
    return out;
}

std::string utf16ToUtf8(const std::u16string &text)
{
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

std::string bstrToUtf8(const void *bstr)
{
    if (!bstr)
        return {};
    auto text = static_cast<const wchar_t *>(bstr);
    const UINT length = SysStringLen(const_cast<BSTR>(text));
    return utf16ToUtf8(std::u16string(text, text + length));
}

} // namespace tavrin::com
