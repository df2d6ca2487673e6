#pragma once

#include <QByteArray>
#include <QString>

namespace orv::Cp1251 {

// One character per byte; every byte maps to a character (the unassigned 0x98
// becomes U+0098), so decoding never loses the length of the input.
QString decode(const QByteArray& bytes);

// Characters the code page cannot hold become "?", one per code point.
QByteArray encode(QStringView text);

// True when the character has a Windows-1251 byte.
bool canEncode(char32_t codePoint);

} // namespace orv::Cp1251
