#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>

class QAction;
class QComboBox;
class QSplitter;
class QTreeView;

namespace orv {

struct AppContext;
class ExchangeWorker;
class MessageView;
class SettingsForm;
class TrayForm;
class TreeModel;

// The main window: the message tree on the left, the view on the right, the
// status list at the bottom. It lives for the whole run; closing it hides it.
class MainForm : public QMainWindow {
    Q_OBJECT

public:
    MainForm(AppContext& ctx, TrayForm& tray, QWidget* parent = nullptr);
    ~MainForm() override;

    // The start-up steps, in order. A failing step abandons the rest and is
    // logged as "MainForm.Load: "; the window stays usable.
    void Form_Load();

    void ReLoadTree();
    void DeleteOldRecords();
    int NewInTree() const { return m_newInTree; }

    // The receive run, on the exchange thread; refused while another runs.
    void mnu_Get_Click();
    void mnu_Setting_Click();

    QTreeView* tree() const { return Tree; }
    MessageView* browser() const { return Browser; }
    QComboBox* statusList() const { return Status; }
    TreeModel* treeModel() const { return m_treeModel; }
    SettingsForm* settingsForm() const;

signals:
    // An exchange run has ended and the tree shows its result.
    void exchangeFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWidgets();
    void buildMenus();
    void fitToScreen();
    void showStatusLine(const QString& line);
    void loadTreeIcons();
    void setMainCaption();

    AppContext& m_ctx;
    TrayForm& m_tray;
    QTreeView* Tree;
    MessageView* Browser;
    QComboBox* Status;
    QSplitter* m_splitter;
    TreeModel* m_treeModel;
    ExchangeWorker* m_worker;
    QAction* mnu_Get = nullptr;
    QList<QIcon> ImgList;
    QPointer<SettingsForm> m_settingsForm;
    int m_selectedIndex = 0; // remembered selection, kept across tree rebuilds
    int m_newInTree = 0;
};

} // namespace orv
