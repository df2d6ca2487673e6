#include "AppContext.h"
#include "AppIcon.h"
#include "GuiPrompts.h"
#include "MainForm.h"
#include "RussianQt.h"
#include "TrayForm.h"
#include "app/Constants.h"
#include "exchange/Transport.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSettings>
#include <QTimer>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(orv::ProductName);
    QApplication::setApplicationName(orv::ProductName);
    QApplication::setApplicationVersion(orv::VersionTag);
    QApplication::setWindowIcon(orv::AppIcon::program());
    orv::installRussianQt(app);
    // Closing the main window only hides it; the program ends from the tray menu.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Офлайн-клиент Корденета"_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption folderOption(
        u"folder"_s,
        u"Рабочая папка (по умолчанию папка программы, а у установленной программы "
        u"~/.local/share/orv-client)."_s,
        u"DIR"_s);
    parser.addOption(folderOption);
    parser.process(app);

    const orv::WorkingFolder folder = parser.isSet(folderOption)
                                          ? orv::WorkingFolder(parser.value(folderOption))
                                          : orv::WorkingFolder::byDefault();
    QSettings userStore(orv::ProductName, orv::ProductName);
    orv::GuiPrompts prompts;
    orv::AppContext ctx(folder, prompts, userStore);
    orv::Transport::useSystemProxySettings();

    orv::TrayForm tray(ctx);
    orv::MainForm mainForm(ctx, tray);
    prompts.setParentWindow(&mainForm);
    tray.attach(&mainForm);
    QObject::connect(&tray, &orv::TrayForm::exited, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    QTimer::singleShot(0, &mainForm, &orv::MainForm::Form_Load);
    return QApplication::exec();
}
