// orv-cli: the client's own procedures on a working folder, without a window.
#include "AppContext.h"
#include "CliPrompts.h"
#include "ImageCheck.h"
#include "app/Constants.h"
#include "app/ErrorTrap.h"
#include "app/ExchangeLock.h"
#include "app/RunControl.h"
#include "exchange/Transport.h"
#include "render/DiaryExport.h"
#include "render/NodePage.h"
#include "render/Renderer.h"
#include "store/FetchStack.h"
#include "store/OptionsStore.h"
#include "store/PageRows.h"
#include "store/PictureStore.h"
#include "store/SearchIndex.h"
#include "store/SettingsStore.h"
#include "store/StoreCopy.h"
#include "sync/AutoCheck.h"
#include "sync/Maintenance.h"
#include "sync/OnDemandFetch.h"
#include "sync/ReceiveRun.h"
#include "sync/SendRun.h"
#include "tree/NodeKey.h"
#include "tree/TreeBuilder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTextStream>
#include <cstdio>
#include <functional>
#include <map>

using namespace Qt::StringLiterals;

namespace {

constexpr int kRan = 0;
constexpr int kStepFailed = 1;
constexpr int kBadUsage = 2;

struct Command {
    int arguments;
    std::function<int(orv::AppContext&, const QStringList&, QTextStream&)> run;
};

// Prints the tree one node a line, each under its parent: indent by depth,
// key, text, icon index.
int printTree(orv::AppContext& ctx, const QStringList&, QTextStream& out) {
    const orv::TreeSnapshot tree = orv::TreeBuilder(ctx.settings, &ctx.db).build();
    tree.walk([&](int node, int depth) {
        out << QString(depth * 2, u' ') << tree.key(node) << u'\t' << tree.text(node) << u'\t'
            << tree.nodes[size_t(node)].icon << u'\n';
    });
    return kRan;
}

// One hit a line: key, author, title, snippet with the match in brackets.
int search(orv::AppContext& ctx, const QStringList& args, QTextStream& out) {
    std::vector<orv::SearchHit> hits;
    if (!orv::runTrapped(ctx.log, u"orv-cli search: "_s,
                         [&] { hits = orv::SearchIndex(ctx.db).search(args[0]); })) {
        return kStepFailed;
    }
    for (const orv::SearchHit& hit : hits) {
        QString snippet = hit.snippet;
        snippet.replace(orv::SearchIndex::MatchStart, u'[')
            .replace(orv::SearchIndex::MatchEnd, u']');
        out << orv::NodeKey::of({hit.kind, hit.localId, hit.serviceId}) << u'\t' << hit.author
            << u'\t' << hit.title << u'\t' << snippet.simplified() << u'\n';
    }
    return kRan;
}

// Gives one iniSettings row a value, as the settings window would.
int setSetting(orv::AppContext& ctx, const QStringList& args, QTextStream&) {
    const bool stored = orv::runTrapped(ctx.log, u"orv-cli set: "_s, [&] {
        orv::SettingsStore store(ctx.db, ctx.log);
        QStringList values;
        bool found = false;
        for (const auto& row : store.editorRows()) {
            found = found || row.key == args[0];
            values.append(row.key == args[0] ? args[1] : row.value);
        }
        if (!found) {
            throw orv::OrvError(u"нет такой настройки: "_s + args[0]);
        }
        store.saveEditorValues(values);
        // A password goes on into the keyring, where there is one.
        orv::SettingsStore(ctx.db, ctx.log, &ctx.keyring).ReadINI(ctx.settings);
    });
    return stored ? kRan : kStepFailed;
}

// Writes the page a click on the node shows, and prints its path.
int writePage(orv::AppContext& ctx, const QStringList& args, QTextStream& out) {
    orv::Renderer renderer(ctx.session());
    orv::PageBuilder pages = renderer.pageBuilder();
    orv::PageRows rows(ctx.db);
    const auto result = orv::NodePage(rows, pages).show(args[0]);
    if (result.shown != orv::NodePage::Shown::Page) {
        QTextStream(stderr) << u"У этого узла нет страницы: "_s << args[0] << Qt::endl;
        return kStepFailed;
    }
    out << ctx.folder.outPagePath() << u'\n';
    return kRan;
}

// An exchange run holds the folder, as the window's runs do.
int exclusively(orv::AppContext& ctx, const std::function<int()>& run) {
    orv::ExchangeLock lock(ctx.folder);
    if (!lock.tryLock()) {
        ctx.log.LogFailure(orv::ExchangeLock::BusyText);
        return kStepFailed;
    }
    return run();
}

int receive(orv::AppContext& ctx, const QStringList&, QTextStream&) {
    return exclusively(ctx, [&] {
        orv::ReceiveRun(ctx.session()).run();
        return kRan;
    });
}

// Publishes the outbox; questions about rejected messages take --answer
// (yes keeps a message for editing, no deletes it).
int send(orv::AppContext& ctx, const QStringList&, QTextStream&) {
    return exclusively(ctx, [&] {
        orv::SendRun(ctx.session()).run();
        return kRan;
    });
}

// One automatic check: the receives the options choose, the report, the send run.
int check(orv::AppContext& ctx, const QStringList&, QTextStream&) {
    return exclusively(ctx, [&] {
        orv::AutoCheck::run(ctx.session(), ctx.options);
        return kRan;
    });
}

// "Получить смайлы".
int smileys(orv::AppContext& ctx, const QStringList&, QTextStream&) {
    return exclusively(ctx, [&] {
        orv::OnDemandFetch::GetSmiles(ctx.session());
        return kRan;
    });
}

// "Получить все комменты" on the post with this service identifier.
int allComments(orv::AppContext& ctx, const QStringList& args, QTextStream&) {
    return exclusively(ctx, [&] {
        orv::OnDemandFetch::GetAllComments(ctx.session(), orv::NodeKey::post(args[0], 0));
        return kRan;
    });
}

// "+1 Пост": the number goes onto the fetch stack and is fetched at once.
int stackPost(orv::AppContext& ctx, const QStringList& args, QTextStream&) {
    return exclusively(ctx, [&] {
        if (!orv::StackSinglePost(ctx.session(), args[0])) {
            QTextStream(stderr) << u"Введенный номер не корректен. Попробуй еще раз."_s << Qt::endl;
            return kStepFailed;
        }
        orv::ReceiveRun run(ctx.session());
        run.fetcher().GetMessagesFromStack(
            orv::FetchStack::Posts, orv::Fetcher::batchSize(ctx.settings.PostsToGetPerOneSession));
        return kRan;
    });
}

// A body in the service's markup on standard input, its HTML on standard output.
int render(orv::AppContext& ctx, const QStringList&, QTextStream& out) {
    QTextStream in(stdin);
    out << orv::Renderer(ctx.session()).WordProcessor(in.readAll());
    return kRan;
}

// A consistent copy of the store, also while the window runs.
int backup(orv::AppContext& ctx, const QStringList& args, QTextStream&) {
    return orv::runTrapped(ctx.log, u"orv-cli backup: "_s,
                           [&] {
                               orv::StoreCopy::backup(ctx.db, args[0]);
                               ctx.log.LogStatus(u"Копия базы сохранена: "_s + args[0]);
                           })
               ? kRan
               : kStepFailed;
}

// The diary's posts and comments into a folder any browser opens offline.
int exportDiary(orv::AppContext& ctx, const QStringList& args, QTextStream&) {
    return orv::runTrapped(ctx.log, u"orv-cli export: "_s,
                           [&] {
                               orv::Renderer renderer(ctx.session());
                               orv::DiaryExport diary(ctx.db, ctx.settings.serviceAddress(),
                                                      [&](const QString& body) {
                                                          return renderer.WordProcessor(body);
                                                      });
                               const int written = diary.write(args[0], args[1], orv::RunControl());
                               ctx.log.LogStatus(u"Дневник "_s + args[0] + u" выгружен в "_s +
                                                 args[1] + u": постов - "_s +
                                                 QString::number(written));
                           })
               ? kRan
               : kStepFailed;
}

// A kept picture's bytes on standard output, for other programs and scripts.
int writePicture(orv::AppContext& ctx, const QStringList& args, QTextStream& out) {
    const auto kept = orv::PictureStore(ctx.db, ctx.folder.picturesFolder()).keptFile(args[0]);
    QFile file(kept.value_or(QString()));
    if (!kept || !file.open(QIODevice::ReadOnly)) {
        QTextStream(stderr) << u"Картинка не сохранена: "_s << args[0] << Qt::endl;
        return kStepFailed;
    }
    out.flush();
    QFile output;
    if (!output.open(stdout, QIODevice::WriteOnly) || output.write(file.readAll()) < 0) {
        QTextStream(stderr) << u"Не удалось вывести картинку: "_s << output.errorString()
                            << Qt::endl;
        return kStepFailed;
    }
    return kRan;
}

const std::map<QString, Command>& commands() {
    static const std::map<QString, Command> table = {
        {u"tree"_s, {0, printTree}},
        {u"set"_s, {2, setSetting}},
        {u"receive"_s, {0, receive}},
        {u"send"_s, {0, send}},
        {u"stack-post"_s, {1, stackPost}},
        {u"smileys"_s, {0, smileys}},
        {u"all-comments"_s, {1, allComments}},
        {u"render"_s, {0, render}},
        {u"page"_s, {1, writePage}},
        {u"check"_s, {0, check}},
        {u"search"_s, {1, search}},
        {u"backup"_s, {1, backup}},
        {u"export"_s, {2, exportDiary}},
        {u"picture"_s, {1, writePicture}},
    };
    return table;
}

int usage(const QCommandLineParser& parser, const QString& problem) {
    QTextStream(stderr) << problem << u"\n\n"_s << parser.helpText();
    return kBadUsage;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(orv::ProductName);
    QCoreApplication::setApplicationName(orv::ProductName);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Офлайн-клиент Корденета без окна.\n\nКоманды:\n"
        u"  receive            получить всё новое с сервера\n"
        u"  send               отправить неотправленные сообщения\n"
        u"  check              одна автоматическая проверка (как из области уведомлений)\n"
        u"  stack-post NUMBER  получить один пост по номеру\n"
        u"  all-comments POSTID  получить все комментарии к посту\n"
        u"  smileys            получить новые смайлы\n"
        u"  tree               дерево сообщений: ключ, текст, номер значка\n"
        u"  search TEXT        найти сообщения: ключ, автор, заголовок, отрывок\n"
        u"  render             текст сообщения со стандартного ввода в HTML\n"
        u"  page KEY           страница узла дерева в tmp/out.htm (печатает путь)\n"
        u"  set KEY VALUE      записать настройку (как окно настроек)\n"
        u"  backup FILE        сохранить копию базы (можно при открытом окне)\n"
        u"  export DIARY DIR   выгрузить дневник в папку (index.html, страницы, diary.json)\n"
        u"  picture URL        сохранённая картинка на стандартный вывод"_s);
    parser.addHelpOption();
    const QCommandLineOption folderOption(u"folder"_s, u"Рабочая папка."_s, u"DIR"_s);
    const QCommandLineOption serviceOption(u"service"_s, u"Адрес сервиса на этот запуск."_s,
                                           u"URL"_s);
    const QCommandLineOption answerOption(
        u"answer"_s,
        u"Ответ на вопросы: yes или no. Без него отклонённое сервером сообщение остаётся "
        u"неотправленным, на остальные вопросы ответ - no."_s,
        u"yes|no"_s, u"no"_s);
    parser.addOptions({folderOption, serviceOption, answerOption});
    parser.addPositionalArgument(u"command"_s, u"Команда."_s);
    parser.process(app);

    const QString answer = parser.value(answerOption);
    if (answer != u"yes"_s && answer != u"no"_s) {
        return usage(parser, u"--answer: yes или no"_s);
    }
    QStringList arguments = parser.positionalArguments();
    const QString name = arguments.isEmpty() ? QString() : arguments.takeFirst();
    const auto command = commands().find(name);
    if (command == commands().end() || command->second.arguments != arguments.size()) {
        return usage(parser,
                     name.isEmpty() ? u"Не указана команда."_s : u"Неверная команда: "_s + name);
    }

    orv::CliPrompts prompts(answer == u"yes"_s, parser.isSet(answerOption));
    QSettings userStore;
    const orv::WorkingFolder folder = parser.isSet(folderOption)
                                          ? orv::WorkingFolder(parser.value(folderOption))
                                          : orv::WorkingFolder::byDefault();
    if (const QString problem = folder.writeProblem(); !problem.isEmpty()) {
        QTextStream(stderr) << problem << Qt::endl;
        return kStepFailed;
    }
    orv::AppContext ctx(folder, prompts, userStore);
    ctx.isPicture = orv::ImageCheck::decodes;
    QTextStream out(stdout);
    QObject::connect(&ctx.log, &orv::StatusLog::lineAdded,
                     [&out](const QString& line) { out << line << Qt::endl; });

    // The start of the window program, without the window; the log goes on
    // where it is, as a window may be open on the same folder.
    orv::Transport::useSystemProxySettings();
    const bool opened = orv::runTrapped(ctx.log, u"MainForm.Load: "_s, [&] {
        folder.ensureTmpFolder();
        ctx.db.open();
        orv::SettingsStore(ctx.db, ctx.log, &ctx.keyring).ReadINI(ctx.settings);
        ctx.options = orv::OptionsStore(ctx.userStore).LoadOptions();
        orv::DeleteOldRecords(ctx.session());
        orv::FetchStack(ctx.db).deleteFinished();
    });
    if (!opened) {
        return kStepFailed;
    }
    if (parser.isSet(serviceOption)) {
        ctx.settings.ServiceURL = parser.value(serviceOption);
    }
    int status = kRan;
    const bool ran = orv::runTrapped(ctx.log, u"orv-cli "_s + name + u": "_s,
                                     [&] { status = command->second.run(ctx, arguments, out); });
    out.flush();
    if (!ran || status != kRan || ctx.log.failureCount() > 0 || ctx.ConnectionFailed) {
        return status == kRan ? kStepFailed : status;
    }
    return kRan;
}
