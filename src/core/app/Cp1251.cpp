#include "Cp1251.h"

#include <QList>
#include <array>
#include <unordered_map>

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

const std::unordered_map<char32_t, char>& encodeTable() {
    static const auto table = [] {
        std::unordered_map<char32_t, char> t;
        for (int b = 0x80; b <= 0xFF; ++b) {
            t.emplace(highCharacter(static_cast<unsigned char>(b)), static_cast<char>(b));
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
    return codePoint < 0x80 || encodeTable().contains(codePoint);
}

QByteArray encode(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    const auto& table = encodeTable();
    for (const char32_t cp : text.toUcs4()) {
        if (cp < 0x80) {
            bytes.append(static_cast<char>(cp));
        } else if (const auto it = table.find(cp); it != table.end()) {
            bytes.append(it->second);
        } else {
            bytes.append('?');
        }
    }
    return bytes;
}

} // namespace orv::Cp1251
