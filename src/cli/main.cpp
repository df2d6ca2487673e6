// orv-cli: the client's own procedures on a working folder, without a window.
#include "CliPrompts.h"
#include "app/AppContext.h"
#include "app/Constants.h"
#include "app/ErrorTrap.h"
#include "app/TextFiles.h"
#include "store/FetchStack.h"
#include "store/SettingsStore.h"
#include "tree/TreeBuilder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSettings>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace {

constexpr int kRan = 0;
constexpr int kStepFailed = 1;
constexpr int kBadUsage = 2;

int usage(const QCommandLineParser& parser, const QString& problem) {
    QTextStream err(stderr);
    err << problem << u"\n\n"_s << parser.helpText();
    return kBadUsage;
}

// Prints the tree one node a line: indent by depth, key, text, icon index.
void printTree(const orv::TreeSnapshot& tree, QTextStream& out) {
    std::vector<int> depth(tree.nodes.size(), 0);
    for (size_t i = 0; i < tree.nodes.size(); ++i) {
        const orv::TreeNode& node = tree.nodes[i];
        depth[i] = node.parent < 0 ? 0 : depth[size_t(node.parent)] + 1;
        out << QString(depth[i] * 2, u' ') << node.key << u'\t' << node.text << u'\t' << node.icon
            << u'\n';
    }
    out.flush();
}

// Gives one iniSettings row a value, as the settings window would.
bool setSetting(orv::AppContext& ctx, const QString& key, const QString& value) {
    return orv::runTrapped(ctx.log, u"orv-cli set: "_s, [&] {
        orv::SettingsStore store(ctx.db, ctx.log);
        auto rows = store.editorRows();
        QStringList values;
        bool found = false;
        for (const auto& row : rows) {
            found = found || row.key == key;
            values.append(row.key == key ? value : row.value);
        }
        if (!found) {
            throw orv::OrvError(u"нет такой настройки: "_s + key);
        }
        store.saveEditorValues(values);
    });
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(orv::ProductName);
    QCoreApplication::setApplicationName(orv::ProductName);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Офлайн-клиент Корденета без окна.\n\nКоманды:\n"
        u"  tree               дерево сообщений: ключ, текст, номер значка\n"
        u"  set KEY VALUE      записать настройку (как окно настроек)"_s);
    parser.addHelpOption();
    const QCommandLineOption folderOption(u"folder"_s, u"Рабочая папка."_s, u"DIR"_s);
    const QCommandLineOption serviceOption(u"service"_s, u"Адрес сервиса на этот запуск."_s,
                                           u"URL"_s);
    const QCommandLineOption answerOption(u"answer"_s, u"Ответ на вопросы: yes или no."_s,
                                          u"yes|no"_s, u"no"_s);
    parser.addOptions({folderOption, serviceOption, answerOption});
    parser.addPositionalArgument(u"command"_s, u"Команда."_s);
    parser.process(app);

    const QString answer = parser.value(answerOption);
    if (answer != u"yes"_s && answer != u"no"_s) {
        return usage(parser, u"--answer: yes или no"_s);
    }
    const QStringList arguments = parser.positionalArguments();
    const QString command = arguments.value(0);

    orv::CliPrompts prompts(answer == u"yes"_s);
    QSettings userStore;
    const orv::WorkingFolder folder = parser.isSet(folderOption)
                                          ? orv::WorkingFolder(parser.value(folderOption))
                                          : orv::WorkingFolder::ofExecutable();
    orv::AppContext ctx(folder, prompts, userStore);
    QTextStream out(stdout);
    QObject::connect(&ctx.log, &orv::StatusLog::lineAdded,
                     [&out](const QString& line) { out << line << Qt::endl; });

    if (command == u"tree"_s && arguments.size() == 1) {
    } else if (command == u"set"_s && arguments.size() == 3) {
    } else {
        return usage(parser, command.isEmpty() ? u"Не указана команда."_s
                                               : u"Неверная команда: "_s + arguments.join(u' '));
    }

    orv::TextFiles::DeleteIfExists(folder.logPath());
    const bool opened = orv::runTrapped(ctx.log, u"MainForm.Load: "_s, [&] {
        folder.ensureTmpFolder();
        ctx.db.open();
        orv::SettingsStore(ctx.db, ctx.log).ReadINI(ctx.settings);
        orv::FetchStack(ctx.db).clear();
    });
    if (!opened) {
        return kStepFailed;
    }
    if (parser.isSet(serviceOption)) {
        ctx.settings.ServiceURL = parser.value(serviceOption);
    }

    if (command == u"tree"_s) {
        printTree(orv::TreeBuilder(ctx.settings).build(), out);
        return kRan;
    }
    return setSetting(ctx, arguments[1], arguments[2]) ? kRan : kStepFailed;
}
