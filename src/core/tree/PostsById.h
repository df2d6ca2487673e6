#pragma once

#include "TextHash.h"

#include <QString>
#include <QStringView>
#include <algorithm>
#include <vector>

namespace orv {

// The shown post of each PostID, for placing comments. A comment's look-up
// lands on a random post, so the table is kept small enough to stay in the
// processor's caches: an identifier of decimal digits, as the service hands
// them out, is kept as its number in a 16-byte slot; any other is kept apart
// and compared whole. Of posts that share a PostID, the first stored (the
// lowest ThisID) is kept.
class PostsById {
public:
    PostsById() { grow(); }

    void add(const QString& id, qint64 thisId, int node) {
        if (4 * (m_count + 1) > 3 * m_slots.size()) {
            grow();
        }
        const Key key = keyOf(id);
        const size_t at = probe(key, id);
        Slot& slot = m_slots[at];
        if (slot.node < 0) {
            slot.id = key.id;
            if (key.id == Other) {
                slot.id = Other | m_otherIds.size();
                m_otherIds.push_back(id);
            }
            slot.node = node;
            m_thisIds[at] = thisId;
            ++m_count;
        } else if (thisId < m_thisIds[at]) {
            m_thisIds[at] = thisId;
            slot.node = node;
        }
    }

    // -1 for a PostID without a shown post.
    int nodeOf(QStringView id) const { return m_slots[probe(keyOf(id), id)].node; }

    // Asks the processor for the slot where the look-up of the identifier
    // starts, so that it is at hand when that look-up comes.
    void prefetch(QStringView id) const {
        const Slot* slot = &m_slots[keyOf(id).hash & (m_slots.size() - 1)];
#if defined(__x86_64__) || defined(__i386__)
        // GCC 12 leaves __builtin_prefetch out of the loop this is called in.
        asm volatile("prefetcht0 %0" : : "m"(*slot));
#else
        __builtin_prefetch(slot);
#endif
    }

private:
    // Set in Slot::id of an identifier that is not a plain number; the rest
    // is its place in m_otherIds.
    static constexpr quint64 Other = quint64(1) << 63;

    struct Slot {
        quint64 id = 0;
        qint32 node = -1; // -1: free
    };

    struct Key {
        quint64 id;   // the number, or Other
        quint32 hash; // where probing starts
    };

    static quint32 mixed(quint64 number) {
        number ^= number >> 33;
        number *= 0xff51afd7ed558ccdULL;
        number ^= number >> 33;
        return quint32(number);
    }

    // Digits without a leading zero, at most 18 of them, read as a number;
    // "007" and "7" stay two identifiers.
    static Key keyOf(QStringView id) {
        quint64 number = 0;
        const bool plain = !id.isEmpty() && id.size() <= 18 && (id[0] != u'0' || id.size() == 1);
        for (qsizetype i = 0; plain && i < id.size(); ++i) {
            const char16_t c = id[i].unicode();
            if (c < u'0' || c > u'9') {
                return {Other, TextHash::of(id)};
            }
            number = number * 10 + (c - u'0');
        }
        return plain ? Key{number, mixed(number)} : Key{Other, TextHash::of(id)};
    }

    bool holds(const Slot& slot, const Key& key, QStringView id) const {
        if (key.id != Other) {
            return slot.id == key.id;
        }
        return (slot.id & Other) != 0 && m_otherIds[size_t(slot.id & ~Other)] == id;
    }

    // The slot holding the identifier, or the free one where it would go.
    size_t probe(const Key& key, QStringView id) const {
        const size_t mask = m_slots.size() - 1;
        size_t at = key.hash & mask;
        while (m_slots[at].node >= 0 && !holds(m_slots[at], key, id)) {
            at = (at + 1) & mask;
        }
        return at;
    }

    quint32 hashOf(const Slot& slot) const {
        return (slot.id & Other) == 0 ? mixed(slot.id)
                                      : TextHash::of(m_otherIds[size_t(slot.id & ~Other)]);
    }

    // Slots move by their hash alone: no text is compared while growing.
    void grow() {
        const size_t size = std::max<size_t>(4096, 2 * m_slots.size());
        std::vector<Slot> oldSlots(size);
        std::vector<qint64> oldThisIds(size);
        oldSlots.swap(m_slots);
        oldThisIds.swap(m_thisIds);
        const size_t mask = size - 1;
        for (size_t i = 0; i < oldSlots.size(); ++i) {
            if (oldSlots[i].node >= 0) {
                size_t at = hashOf(oldSlots[i]) & mask;
                while (m_slots[at].node >= 0) {
                    at = (at + 1) & mask;
                }
                m_slots[at] = oldSlots[i];
                m_thisIds[at] = oldThisIds[i];
            }
        }
    }

    std::vector<Slot> m_slots;     // a power of two in size, at most three quarters full
    std::vector<qint64> m_thisIds; // of each slot's post; read only while adding
    std::vector<QString> m_otherIds;
    size_t m_count = 0;
};

} // namespace orv
