#include "Fetcher.h"

#include "app/ErrorTrap.h"
#include "app/OrvError.h"
#include "app/TextFiles.h"
#include "app/WorkingFolder.h"
#include "decode/CommentsDecoder.h"
#include "decode/PostsDecoder.h"
#include "exchange/RequestDocuments.h"
#include "exchange/Transport.h"
#include "store/FetchStack.h"
#include "store/Settings.h"
#include "store/SettingsStore.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

const QString kDeclaration = u"<?xml version='1.0' encoding='windows-1251'?>"_s;

} // namespace

Fetcher::Fetcher(const Session& session, Transport& transport)
    : m_session(session)
    , m_transport(transport) {}

int Fetcher::batchSize(const QString& setting) {
    bool ok = false;
    const double value = setting.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::abs(value) > 32767) {
        throw OrvError(u"Несоответствие типа"_s);
    }
    return int(std::nearbyint(value));
}

QString Fetcher::BuildIDquery(const Settings& settings, const QStringList& ids,
                              const QString& stackType) {
    const QString type = stackType == FetchStack::Posts ? u"19"_s : u"17"_s;
    QStringList lines = {u"<query QID='"_s + RequestDocuments::xmlEscape(stackType) +
                         u"' TYPE='"_s + type + u"'>"_s};
    for (const QString& id : ids) {
        if (!id.isEmpty()) {
            lines.append(RequestDocuments::element(u"id"_s, id));
        }
    }
    lines.append(u"</query>"_s);
    return RequestDocuments::envelope(settings, lines);
}

void Fetcher::BuildIDstack(QString answer) {
    const QString path = m_session.folder.PostFilePath();
    answer.replace(u'"', u'\'');
    const qsizetype declaration = answer.indexOf(kDeclaration, 0, Qt::CaseInsensitive);
    std::optional<QDomDocument> document;
    if (declaration >= 0) {
        answer.remove(0, declaration);
        runTrapped(m_session.log, u"Mod_Qrys.BuildIDstack: "_s, [&] {
            TextFiles::WriteTextFile(path, answer);
            document = ResultDocument::load(path);
        });
    }
    if (!document) {
        if (!m_session.ConnectionFailed) {
            m_session.log.LogFailure(u"Mod_Qrys.BuildIDstack: загрузка XML из "_s + path +
                                     u" обломилась.\r\nТекст файла:\r\n\r\n"_s + answer);
        }
        return;
    }
    runTrapped(m_session.log, u"Mod_Qrys.BuildIDstack: "_s, [&] {
        QString queryId;
        QString ids;
        QString checkTime;
        for (const QDomElement& result : ResultDocument::results(*document)) {
            queryId = result.attribute(u"QID"_s);
            if (!result.hasChildNodes()) {
                continue;
            }
            if (queryId == u"allcomments"_s) {
                ids = result.firstChildElement(u"ITEM"_s).text();
            } else if (queryId == FetchStack::Posts || queryId == FetchStack::Comments) {
                const QDomElement now = result.firstChildElement(u"NOWDATE"_s);
                if (now.isNull()) {
                    continue; // without the service time nothing is known for sure
                }
                checkTime = now.text();
                if (result.childNodes().size() > 1) {
                    ids = result.firstChildElement(u"ITEM"_s).text();
                }
            }
        }
        QString stackType = queryId;
        if (queryId == FetchStack::Posts || queryId == FetchStack::Comments) {
            const bool posts = queryId == FetchStack::Posts;
            if (!checkTime.isEmpty()) {
                (posts ? m_session.settings.CheckTime_Posts
                       : m_session.settings.CheckTime_Comments) = checkTime;
                SettingsStore(m_session.db, m_session.log)
                    .writeOne(m_session.settings,
                              posts ? u"CheckTime_Posts"_s : u"CheckTime_Comments"_s);
            }
        } else if (queryId == u"allcomments"_s) {
            stackType = FetchStack::Comments;
        }
        if (!ids.isEmpty()) {
            FetchStack(m_session.db).add(ids.split(u' '), stackType);
        }
    });
}

void Fetcher::GetMessagesFromStack(const QString& stackType, int batchSize) {
    runTrapped(m_session.log, u"Mod_Qrys.GetMessagesFromStack: "_s, [&] {
        if (batchSize < 1) {
            throw OrvError(u"Индекс выходит за пределы допустимого диапазона"_s);
        }
        FetchStack stack(m_session.db);
        const QStringList waiting = stack.waiting(stackType);
        const auto total = int(waiting.size());
        const QString remembered = m_session.log.currentText();
        if (stackType == FetchStack::Posts) {
            PostsReceived = total;
        } else if (stackType == FetchStack::Comments) {
            CommentsReceived = total;
        }
        const QString path = m_session.folder.PostFilePath();
        for (int start = 0; start < total; start += batchSize) {
            m_session.log.LogStatus(remembered + u' ' + QString::number(start) + u" из "_s +
                                    QString::number(total));
            const QStringList batch = waiting.mid(start, batchSize);
            TextFiles::WriteTextFile(path, BuildIDquery(m_session.settings, batch, stackType));
            const QString answer = m_transport.InetExchange(path);
            TextFiles::WriteTextFile(path, answer);
            store(stackType);
        }
        stack.deleteDone();
        TextFiles::DeleteIfExists(path);
    });
}

void Fetcher::store(const QString& stackType) {
    const QString path = m_session.folder.PostFilePath();
    if (stackType == FetchStack::Posts) {
        PostsDecoder posts(m_session, [this, &path](const QString& postId) {
            // The answer being decoded is already in memory; the file can be reused.
            TextFiles::WriteTextFile(path,
                                     RequestDocuments::allComments(m_session.settings, postId));
            m_session.log.LogStatus(u"Автозагрузка всех комментариев к посту "_s + postId);
            BuildIDstack(m_transport.InetExchange(path));
        });
        posts.SaveFriendPosts(path);
    } else if (stackType == FetchStack::Comments) {
        CommentsDecoder(m_session).SaveComments(path);
    }
}

} // namespace orv
