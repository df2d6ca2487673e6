#pragma once

#include "TreeSnapshot.h"

namespace orv {

struct Settings;

// Builds the message tree from the store.
class TreeBuilder {
public:
    explicit TreeBuilder(const Settings& settings);

    TreeSnapshot build() const;

private:
    // The five nodes every tree starts with.
    void addFixedNodes(TreeSnapshot& tree) const;

    const Settings& m_settings;
};

} // namespace orv
