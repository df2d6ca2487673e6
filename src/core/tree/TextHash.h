#pragma once

#include <QStringView>

namespace orv {

// FNV-1a over UTF-16 units. For the tree's short keys and names it costs far
// less than QHash's seeded string hash, and it runs on over a text made of
// pieces without putting them together.
class TextHash {
public:
    static constexpr quint32 Start = 2166136261U;

    static quint32 add(quint32 hash, QStringView text) {
        for (const QChar c : text) {
            hash = (hash ^ c.unicode()) * 16777619U;
        }
        return hash;
    }
    static quint32 of(QStringView text) { return add(Start, text); }
};

} // namespace orv
