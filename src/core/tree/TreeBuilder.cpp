#include "TreeBuilder.h"

#include "store/Settings.h"

using namespace Qt::StringLiterals;

namespace orv {

TreeBuilder::TreeBuilder(const Settings& settings)
    : m_settings(settings) {}

TreeSnapshot TreeBuilder::build() const {
    TreeSnapshot tree;
    addFixedNodes(tree);
    return tree;
}

void TreeBuilder::addFixedNodes(TreeSnapshot& tree) const {
    auto& nodes = tree.nodes;
    nodes.push_back({u"MyDiaryRoot"_s, u"Мой дневник"_s, IconFolder, -1, true});
    nodes.push_back({u"key-"_s + m_settings.UserName, u"Мои посты"_s, IconFolder, 0});
    nodes.push_back({u"MyPrivates"_s, u"Мои личные сообщения"_s, IconFolder, 0});
    nodes.push_back({u"MyForums"_s, u"Сообщения из форумов"_s, IconFolder, 0});
    nodes.push_back({u"FriendPostsRoot"_s, u"Дневники друзей"_s, IconFolder, -1, true});
}

} // namespace orv
