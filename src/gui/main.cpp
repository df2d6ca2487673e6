#include "AppContext.h"
#include "AppIcon.h"
#include "GuiPrompts.h"
#include "ImageCheck.h"
#include "MainForm.h"
#include "RussianQt.h"
#include "SingleInstance.h"
#include "TrayForm.h"
#include "app/Constants.h"
#include "exchange/Transport.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QSettings>
#include <QTextStream>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Offscreen and minimal platforms have no screen: nobody would see a box.
bool hasScreen() {
    const QString platform = QGuiApplication::platformName();
    return platform != u"offscreen"_s && platform != u"minimal"_s;
}

} // namespace

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
    const QCommandLineOption minimizedOption(
        u"minimized"_s, u"Запуститься свёрнутым в область уведомлений, если она есть."_s);
    parser.addOption(minimizedOption);
    parser.process(app);

    const orv::WorkingFolder folder = parser.isSet(folderOption)
                                          ? orv::WorkingFolder(parser.value(folderOption))
                                          : orv::WorkingFolder::byDefault();
    // Nothing is opened in a folder that cannot take the program's files.
    if (const QString problem = folder.writeProblem(); !problem.isEmpty()) {
        QTextStream(stderr) << problem << Qt::endl;
        if (hasScreen()) {
            QMessageBox::critical(nullptr, orv::VersionTag, problem);
        }
        return 1;
    }
    // A program already running on the folder shows its window instead.
    orv::SingleInstance instance(folder.AppFolder());
    if (instance.start() == orv::SingleInstance::Outcome::AnotherAnswered) {
        return 0;
    }

    QSettings userStore(orv::ProductName, orv::ProductName);
    orv::GuiPrompts prompts;
    orv::AppContext ctx(folder, prompts, userStore);
    ctx.isPicture = orv::ImageCheck::decodes;
    orv::Transport::useSystemProxySettings();

    orv::TrayForm tray(ctx);
    orv::MainForm mainForm(ctx, tray);
    prompts.setParentWindow(&mainForm);
    tray.attach(&mainForm);
    QObject::connect(&tray, &orv::TrayForm::exited, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&instance, &orv::SingleInstance::showRequested, &mainForm, [&] {
        mainForm.bringForward();
        ctx.log.LogStatus(u"Повторный запуск на этой рабочей папке: показано окно программы"_s);
    });
    mainForm.setStartHidden(parser.isSet(minimizedOption));

    QTimer::singleShot(0, &mainForm, &orv::MainForm::Form_Load);
    return QApplication::exec();
}
