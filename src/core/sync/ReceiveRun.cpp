#include "ReceiveRun.h"

#include "PictureRun.h"
#include "app/ErrorTrap.h"
#include "app/StatusLog.h"
#include "app/TextFiles.h"
#include "app/UserPrompts.h"
#include "app/WorkingFolder.h"
#include "decode/PrivatesDecoder.h"
#include "decode/RelationsDecoder.h"
#include "exchange/RequestDocuments.h"
#include "store/AddressBook.h"
#include "store/FetchStack.h"
#include "store/Housekeeping.h"
#include "store/KeptAnswers.h"
#include "store/ReceivedMessages.h"
#include "store/Settings.h"

using namespace Qt::StringLiterals;

namespace orv {
namespace {

// "Нет непрочитанных приватных сообщений": the usual answer when none wait.
const QString NoPrivatesCode = u"53"_s;

QString nameList(const QStringList& names) {
    QString list;
    for (const QString& name : names) {
        list += u"\r\n"_s + name;
    }
    return list;
}

} // namespace

ReceiveRun::ReceiveRun(const Session& session)
    : m_session(session)
    , m_transport(session)
    , m_fetcher(session, m_transport) {}

void ReceiveRun::run() {
    runTrapped(m_session.log, u"MainForm.mnu_Get_Click: "_s, [this] {
        m_session.log.LogStatus(u"Соединяюсь с сервером..."_s);
        const auto stored = picturesMark();
        GetPost();
        GetComment();
        GetPrivat();
        GetFriends();
        CheckDatabaseIntegrity();
        GetPictures(stored);
        if (m_transport.stopped()) {
            return; // the refusal is the run's last word, not "nothing new"
        }
        m_session.log.LogStatus(receivedLine());
        if (m_session.cancelled()) {
            m_session.log.LogStatus(RunControl::CancelledText);
        }
        m_fetcher.PostsReceived = 0;
        m_fetcher.CommentsReceived = 0;
    });
}

QString ReceiveRun::receivedLine() {
    return u"Получено: постов - "_s + QString::number(m_fetcher.PostsReceived) +
           u", комментариев - "_s + QString::number(m_fetcher.CommentsReceived) + waitingSuffix();
}

QString ReceiveRun::waitingSuffix() {
    QString line;
    FetchStack stack(m_session.db);
    const qsizetype posts = stack.waitingCount(FetchStack::Posts);
    const qsizetype comments = stack.waitingCount(FetchStack::Comments);
    if (posts + comments > 0) {
        line += u". Не получено: постов - "_s + QString::number(posts) + u", комментариев - "_s +
                QString::number(comments) + u" (будут запрошены при следующем обмене)"_s;
    }
    return line;
}

bool ReceiveRun::stopped() const {
    return m_session.cancelled() || m_transport.stopped();
}

std::optional<ResultDocument> ReceiveRun::parsed(const QString& answer,
                                                 const QString& failureLine) {
    auto document = ResultDocument::parse(answer);
    if (!document) {
        m_session.log.LogFailure(failureLine);
    }
    return document;
}

void ReceiveRun::getList(const QString& document, const QString& stackType,
                         const QString& batchSetting, const QString& loadingLine,
                         const QString& prefix) {
    runTrapped(m_session.log, prefix, [&] {
        const QString answer = m_transport.exchange(document);
        TextFiles::DeleteIfExists(m_session.folder.PostFilePath());
        if (answer.contains(u"Выводим xml с ошибкой"_s)) {
            m_session.log.LogFailure(u"Сервер вернул ошибку: "_s + Fetcher::quoted(answer));
            return;
        }
        const auto list = parsed(answer, prefix + u"Получен нарушенный XML-файл"_s);
        if (!list) {
            return;
        }
        if (m_fetcher.refused(*list, prefix)) {
            return;
        }
        m_session.log.LogStatus(loadingLine);
        m_fetcher.BuildIDstack(answer, &*list);
        m_fetcher.GetMessagesFromStack(stackType, Fetcher::batchSize(batchSetting));
    });
}

void ReceiveRun::GetPost() {
    if (stopped()) {
        return;
    }
    getList(RequestDocuments::newPosts(m_session.settings), FetchStack::Posts,
            m_session.settings.PostsToGetPerOneSession, u"Загрузка постов..."_s,
            u"MainForm.GetPost: "_s);
}

void ReceiveRun::GetComment() {
    if (stopped()) {
        return;
    }
    getList(RequestDocuments::newComments(m_session.settings), FetchStack::Comments,
            m_session.settings.CommentsToGetPerOneSession, u"Загрузка комментариев..."_s,
            u"MainForm.GetComment: "_s);
}

void ReceiveRun::GetPrivat() {
    if (stopped()) {
        return;
    }
    runTrapped(m_session.log, u"MainForm.GetPrivat: "_s, [this] {
        // Messages a run received but could not store come first.
        for (const auto& [key, kept] : KeptAnswers(m_session.db).all(KeptAnswers::Privates)) {
            if (const auto document = ResultDocument::parse(kept)) {
                storePrivates(*document, key);
            } else {
                KeptAnswers(m_session.db).drop(key); // nothing in it can be read
            }
        }
        const QString path = m_session.folder.PostFilePath();
        const QString answer =
            m_transport.exchange(RequestDocuments::newPrivates(m_session.settings));
        TextFiles::DeleteIfExists(path);
        const auto document = parsed(answer, u"MainForm.GetPrivat: Получен нарушенный XML-файл"_s);
        if (!document || m_fetcher.refused(*document, u"MainForm.GetPrivat: "_s, NoPrivatesCode)) {
            return;
        }
        // The service has marked them read: they are kept before anything
        // else can fail. An answer that says there are none holds nothing.
        std::optional<qint64> kept;
        if (document->refusal().isEmpty()) {
            runTrapped(m_session.log, u"MainForm.GetPrivat: "_s, [&] {
                kept = KeptAnswers(m_session.db).keep(KeptAnswers::Privates, answer);
            });
        }
        m_session.log.LogStatus(u"Загрузка приватов..."_s);
        runTrapped(m_session.log, u"MainForm.GetPrivat: "_s,
                   [&] { TextFiles::WriteTextFile(path, answer); }); // a trace only
        storePrivates(*document, kept);
        TextFiles::DeleteIfExists(path);
    });
}

void ReceiveRun::storePrivates(const ResultDocument& document, std::optional<qint64> keptAnswer) {
    DecodedPrivates decoded;
    if (!runTrapped(m_session.log, u"Mod_DB.DecodePrivates: "_s,
                    [&] { decoded = DecodePrivates(document, m_session.prompts); })) {
        return;
    }
    for (const QString& line : decoded.statusLines) {
        m_session.log.LogStatus(line);
    }
    runTrapped(m_session.log, u"Mod_DB.SavePrivate: "_s, [&] {
        const StoreReport report = ReceivedMessages(m_session.db, m_session.settings.UserName)
                                       .savePrivates(decoded.messages, keptAnswer);
        PrivatesReceived += report.stored;
        for (const auto& [sender, error] : report.failed) {
            m_session.log.LogFailure(u"Mod_DB.SavePrivate: "_s + error + u" ("_s + sender + u')');
        }
    });
}

void ReceiveRun::GetFriends() {
    if (stopped()) {
        return; // the lists stay as they are
    }
    runTrapped(m_session.log, u"MainForm.GetFriends: "_s, [this] {
        m_session.log.LogStatus(u"Загрузка списка друзей..."_s);
        const QString path = m_session.folder.PostFilePath();
        const QString answer = m_transport.exchange(RequestDocuments::getRel(m_session.settings));
        TextFiles::DeleteIfExists(path);
        const auto document = parsed(answer, u"MainForm.GetFriend: Получен нарушенный XML файл"_s);
        if (!document || m_fetcher.refused(*document, u"MainForm.GetFriends: "_s)) {
            return; // the lists stay as they are
        }
        TextFiles::WriteTextFile(path, answer);
        std::optional<std::vector<Relation>> relations;
        const bool decoded = runTrapped(m_session.log, u"Mod_DB.DecodeRel: "_s, [&] {
            relations = DecodeRel(*document, m_session.prompts);
        });
        runTrapped(m_session.log, u"Mod_DB.SaveRel: "_s, [&] {
            AddressBook book(m_session.db);
            book.ensureOldColumn();
            if (decoded && relations) {
                book.apply(*relations); // an answer naming nobody empties the lists
            }
        });
        CheckFriends();
    });
}

void ReceiveRun::CheckFriends() {
    runTrapped(m_session.log, u"Mod_DB.CheckFriends: "_s, [&] {
        AddressBook book(m_session.db);
        const auto report = [&](const QStringList& names, const QString& text,
                                const QString& caption) {
            if (!names.isEmpty()) {
                m_session.prompts.report(caption, text + nameList(names));
            }
        };
        const QStringList newFriends = book.takeArrivals(AddressBook::Buddy);
        report(newFriends, u"У вас "_s + QString::number(newFriends.size()) + u" новых друзей:"_s,
               u"Новые друзья"_s);
        const QStringList newReaders = book.takeArrivals(AddressBook::Reader);
        report(newReaders, u"У вас "_s + QString::number(newReaders.size()) + u" новых ПЧ:"_s,
               u"Новые ПЧ"_s);
        const QStringList lostFriends = book.departed(AddressBook::Buddy);
        report(lostFriends,
               u"Список друзей уменьшился на "_s + QString::number(lostFriends.size()) +
                   u" чел.:"_s,
               QString());
        book.deleteDeparted(AddressBook::Buddy);
        const QStringList lostReaders = book.departed(AddressBook::Reader);
        report(lostReaders,
               u"Список ПЧ уменьшился на "_s + QString::number(lostReaders.size()) + u" чел.:"_s,
               QString());
        book.deleteDeparted(AddressBook::Reader);
    });
}

std::optional<PictureStore::Mark> ReceiveRun::picturesMark() {
    std::optional<PictureStore::Mark> mark;
    runTrapped(m_session.log, u"MainForm.GetPictures: "_s, [&] {
        mark = PictureStore(m_session.db, m_session.folder.picturesFolder()).mark();
    });
    return mark;
}

void ReceiveRun::GetPictures(const std::optional<PictureStore::Mark>& mark) {
    if (mark) {
        PictureRun::rememberNamedSince(m_session, *mark); // a stopped run's too
    }
    if (!stopped()) {
        PictureRun::fetch(m_session, {});
    }
}

void ReceiveRun::CheckDatabaseIntegrity() {
    if (stopped()) {
        return; // the missing posts are looked for by the next run
    }
    runTrapped(m_session.log, u"Mod_DB.CheckDatabaseIntegrity: "_s, [this] {
        const QStringList missing = Housekeeping(m_session.db).orphanPostIds();
        if (missing.isEmpty()) {
            return;
        }
        AddMissedPostsToStack(missing);
        m_fetcher.GetMessagesFromStack(
            FetchStack::Posts, Fetcher::batchSize(m_session.settings.PostsToGetPerOneSession));
    });
}

void ReceiveRun::AddMissedPostsToStack(const QStringList& ids) {
    runTrapped(m_session.log, u"Mod_DB.AddMissedPostsToStack: "_s,
               [&] { FetchStack(m_session.db).add(ids, FetchStack::Posts); });
}

} // namespace orv
