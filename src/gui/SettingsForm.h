#pragma once

#include "store/SettingsStore.h"

#include <QWidget>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace orv {

struct AppContext;

// Edits the rows of iniSettings: a list of descriptions and one value box.
// Edits stay in the window until "Сохранить"; "Выход" drops the unsaved ones.
class SettingsForm : public QWidget {
    Q_OBJECT

public:
    SettingsForm(AppContext& ctx, QWidget* mainWindow);

    // Which row the value box shows.
    int currentRow() const { return m_currentRow; }
    const std::vector<SettingRow>& workingTable() const { return m_rows; }

    void ButUp_Click();   // merge the date and time into a Unix time
    void ButDown_Click(); // split a Unix time into a date and a time
    void ButSave_Click();
    void ButExit_Click();

    QListWidget* ListVars;
    QLineEdit* TxtValue;
    QLineEdit* TxtDate;
    QLineEdit* TxtTime;
    QPushButton* ButUp;
    QPushButton* ButDown;
    QPushButton* ButSave;
    QPushButton* ButExit;
    QPushButton* ButShowInetSettings;

signals:
    void saved();
    // "Выход": the main window purges old records and rebuilds the tree.
    void exitRequested();

protected:
    // The value box selects its text when it gets the focus.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWidgets();
    void Form_Load();
    void ListVars_Click(int row);
    void TxtValue_Edited(const QString& text);
    void UpdateDateFields();
    void ButShowInetSettings_Click();
    void fitToDescriptions();
    void centreOver(const QWidget* window);
    static QString networkSettingsTool();

    AppContext& m_ctx;
    std::vector<SettingRow> m_rows;
    int m_currentRow = 0;
};

} // namespace orv
