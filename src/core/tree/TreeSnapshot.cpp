#include "TreeSnapshot.h"

namespace orv {

int TreeSnapshot::indexOfKey(const QString& key) const {
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].key == key) {
            return int(i);
        }
    }
    return -1;
}

} // namespace orv
