#pragma once

#include <QObject>
#include <QSet>
#include <QString>

class QTreeView;

namespace orv {

class TreeModel;
struct TreeSnapshot;

// Puts a newly built snapshot into the tree in one step and keeps what the user
// sees across it: the selected node, the expanded nodes and the first row in
// view, all by node key. The expanded keys are followed as the view expands and
// collapses, so that reading them costs nothing when a rebuild is asked for.
class TreeSwapper : public QObject {
    Q_OBJECT

public:
    TreeSwapper(QTreeView& view, TreeModel& model, QObject* parent = nullptr);

    const QSet<QString>& expandedKeys() const { return m_expanded; }

    // Shows the snapshot with its expanded nodes expanded; returns the node
    // that takes the selected key, or -1 when the key is gone (nothing is
    // current then). A message whose service identifier changed (an unsent
    // one the service published) is found again by its local one. The view's
    // signals about the change come as they come.
    int swapIn(TreeSnapshot snapshot);

private:
    // The node of the same kind and local identifier as the key, or -1.
    int nodeOfSameRow(const QString& key) const;

    QTreeView& m_view;
    TreeModel& m_model;
    QSet<QString> m_expanded;
};

} // namespace orv
