#include "Cp1251.h"

#include <QList>
#include <array>

namespace orv::Cp1251 {
namespace {

// Bytes 0x80..0xFF. 0x98 has no character in the code page and decodes to U+0098.
constexpr std::array<char16_t, 128> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};

char16_t highCharacter(unsigned char byte) {
    if (byte >= 0xC0) {
        return static_cast<char16_t>(0x0410 + (byte - 0xC0)); // А..я in order
    }
    return kHighHalf[byte - 0x80];
}

// The byte of every UTF-16 unit, 0 for one the code page lacks: a look-up a
// character, where a map of code points cost more than the rest of writing a
// trace file.
const std::array<unsigned char, 0x10000>& encodeTable() {
    static const auto table = [] {
        std::array<unsigned char, 0x10000> t{};
        for (int b = 0xFF; b >= 0x80; --b) { // the lowest byte of a character wins
            t[highCharacter(static_cast<unsigned char>(b))] = static_cast<unsigned char>(b);
        }
        return t;
    }();
    return table;
}

} // namespace

QString decode(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = QChar(byte < 0x80 ? char16_t(byte) : highCharacter(byte));
    }
    return text;
}

bool canEncode(char32_t codePoint) {
    return codePoint < 0x80 || (codePoint < 0x10000 && encodeTable()[codePoint] != 0);
}

QByteArray encode(QStringView text) {
    const auto& table = encodeTable();
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    const char16_t* unit = text.utf16();
    const char16_t* const end = unit + text.size();
    while (unit < end) {
        const char16_t c = *unit++;
        if (c < 0x80) {
            *out++ = static_cast<char>(c);
        } else if (QChar::isHighSurrogate(c) && unit < end && QChar::isLowSurrogate(*unit)) {
            ++unit; // a character beyond the 16-bit range: one "?"
            *out++ = '?';
        } else {
            *out++ = table[c] != 0 ? static_cast<char>(table[c]) : '?';
        }
    }
    bytes.truncate(out - bytes.data());
    return bytes;
}

} // namespace orv::Cp1251
