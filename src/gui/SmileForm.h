#pragma once

#include <QWidget>

namespace orv {

struct AppContext;
class PictureView;

// The smiley picker: the catalogue page in a view of its own, with the
// pictures the store keeps (a smiley whose picture is not kept yet shows its
// code until it arrives). A click on a smiley hands its code to the editor and
// closes the window, which then deletes itself.
class SmileForm : public QWidget {
    Q_OBJECT

public:
    SmileForm(AppContext& ctx, QWidget* editor);

    // The editor's button "Смайлы": writes tmp/smile.htm anew from the
    // catalogue (an empty catalogue keeps the page written last) and shows it,
    // not modal. A failure is logged as "Command1_Click: "; the window then
    // closes unseen, and so deletes itself.
    void showCatalogue();

    // A navigation of the view to the target address: an address that starts
    // with "http://" stands for the code between that and its last character
    // (the slash a browser puts after a bare host); any other is ignored.
    void SmileBrowser_BeforeNavigate2(const QString& target);

    PictureView* SmileBrowser;

signals:
    void smileyChosen(const QString& code);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showPage(const QString& path);
    // Whether the view can show the smiley's picture now.
    bool pictureAtHand(const QString& src, const QString& pageFolder);
    QString adaptForView(const QString& html, const QString& pageFolder);
    void anchorActivated();

    AppContext& m_ctx;
    QString m_pointerAnchor; // the link under the mouse button's release
};

} // namespace orv
