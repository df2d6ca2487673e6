#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace orv {

// Shows a longer text, such as a report on the friends list, with a caption.
class Dialog : public QDialog {
    Q_OBJECT

public:
    Dialog(const QString& caption, const QString& text, QWidget* parent = nullptr);

    QPlainTextEdit* textBox() const { return m_textBox; }

private:
    QPlainTextEdit* m_textBox;
    QPushButton* m_okButton;
};

} // namespace orv
