#include "ReceiveRun.h"

#include "app/ErrorTrap.h"
#include "app/TextFiles.h"
#include "app/WorkingFolder.h"
#include "decode/PrivatesDecoder.h"
#include "decode/RelationsDecoder.h"
#include "exchange/RequestDocuments.h"
#include "store/FetchStack.h"
#include "store/Housekeeping.h"
#include "store/Settings.h"

using namespace Qt::StringLiterals;

namespace orv {

ReceiveRun::ReceiveRun(const Session& session)
    : m_session(session)
    , m_transport(session)
    , m_fetcher(session, m_transport) {}

void ReceiveRun::run() {
    runTrapped(m_session.log, u"MainForm.mnu_Get_Click: "_s, [this] {
        m_session.log.LogStatus(u"Соединяюсь с сервером..."_s);
        GetPost();
        GetComment();
        GetPrivat();
        GetFriends();
        CheckDatabaseIntegrity();
        m_session.log.LogStatus(u"Получено: постов - "_s +
                                QString::number(m_fetcher.PostsReceived) + u", комментариев - "_s +
                                QString::number(m_fetcher.CommentsReceived));
        m_fetcher.PostsReceived = 0;
        m_fetcher.CommentsReceived = 0;
    });
}

QString ReceiveRun::exchange(const QString& document) {
    const QString path = m_session.folder.PostFilePath();
    TextFiles::WriteTextFile(path, document);
    const QString answer = m_transport.InetExchange(path);
    TextFiles::DeleteIfExists(path);
    return answer;
}

void ReceiveRun::getList(const QString& document, const QString& stackType,
                         const QString& batchSetting, const QString& loadingLine,
                         const QString& prefix) {
    runTrapped(m_session.log, prefix, [&] {
        const QString answer = exchange(document);
        if (answer.contains(u"Выводим xml с ошибкой"_s)) {
            m_session.log.LogFailure(u"Сервер вернул ошибку: "_s + answer);
            return;
        }
        if (!ResultDocument::parse(answer)) {
            m_session.log.LogFailure(prefix + u"Получен нарушенный XML-файл"_s);
            return;
        }
        m_session.log.LogStatus(loadingLine);
        m_fetcher.BuildIDstack(answer);
        m_fetcher.GetMessagesFromStack(stackType, Fetcher::batchSize(batchSetting));
    });
}

void ReceiveRun::GetPost() {
    getList(RequestDocuments::newPosts(m_session.settings), FetchStack::Posts,
            m_session.settings.PostsToGetPerOneSession, u"Загрузка постов..."_s,
            u"MainForm.GetPost: "_s);
}

void ReceiveRun::GetComment() {
    getList(RequestDocuments::newComments(m_session.settings), FetchStack::Comments,
            m_session.settings.CommentsToGetPerOneSession, u"Загрузка комментариев..."_s,
            u"MainForm.GetComment: "_s);
}

void ReceiveRun::GetPrivat() {
    runTrapped(m_session.log, u"MainForm.GetPrivat: "_s, [this] {
        const QString answer = exchange(RequestDocuments::newPrivates(m_session.settings));
        if (!ResultDocument::parse(answer)) {
            m_session.log.LogFailure(u"MainForm.GetPrivat: Получен нарушенный XML-файл"_s);
            return;
        }
        m_session.log.LogStatus(u"Загрузка приватов..."_s);
        const QString path = m_session.folder.PostFilePath();
        TextFiles::WriteTextFile(path, answer);
        PrivatesDecoder(m_session).SavePrivate(path);
        TextFiles::DeleteIfExists(path);
    });
}

void ReceiveRun::GetFriends() {
    runTrapped(m_session.log, u"MainForm.GetFriends: "_s, [this] {
        m_session.log.LogStatus(u"Загрузка списка друзей..."_s);
        const QString answer = exchange(RequestDocuments::getRel(m_session.settings));
        if (!ResultDocument::parse(answer)) {
            m_session.log.LogFailure(u"MainForm.GetFriend: Получен нарушенный XML файл"_s);
            return;
        }
        const QString path = m_session.folder.PostFilePath();
        TextFiles::WriteTextFile(path, answer);
        RelationsDecoder relations(m_session);
        relations.SaveRel(path);
        relations.CheckFriends();
    });
}

void ReceiveRun::CheckDatabaseIntegrity() {
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
