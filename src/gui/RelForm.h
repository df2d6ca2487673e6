#pragma once

#include <QWidget>

class QListWidget;
class QMenu;
class QPushButton;

namespace orv {

struct AppContext;

// The friends (whose diaries the user reads) and the regular readers, as the
// last receive run stored them. It only shows them.
class RelForm : public QWidget {
    Q_OBJECT

public:
    RelForm(AppContext& ctx, QWidget* mainWindow);

    QListWidget* ListFriends;
    QListWidget* ListPCh;
    QPushButton* AddFR;
    QPushButton* ButOK;
    QMenu* mnuFr;

private:
    void Form_Load();
    void ListFriends_MouseUp(const QPoint& position);

    AppContext& m_ctx;
};

} // namespace orv
