#pragma once

#include <QWidget>

class QProgressBar;
class QPushButton;

namespace orv {

// The run's place in the status bar: a progress bar and the "Прервать" button,
// shown only while an exchange runs. Until the run reports its first figures
// the bar just shows that something is going on.
class RunProgress : public QWidget {
    Q_OBJECT

public:
    explicit RunProgress(QWidget* parent = nullptr);

    void start();
    // done of total items, messages or batches; a total of 0 shows activity only.
    void setProgress(int done, int total);
    void finish();

    QProgressBar* bar() const { return m_bar; }
    QPushButton* cancelButton() const { return m_cancel; }

signals:
    // Once per run: the button is disabled until the run has ended.
    void cancelRequested();

private:
    QProgressBar* m_bar;
    QPushButton* m_cancel;
};

} // namespace orv
