#include "Fetcher.h"

#include "ServiceClock.h"
#include "app/ErrorTrap.h"
#include "app/Escaping.h"
#include "app/OrvError.h"
#include "app/TextFiles.h"
#include "app/WorkingFolder.h"
#include "decode/CommentsDecoder.h"
#include "decode/IdListDecoder.h"
#include "decode/PostsDecoder.h"
#include "exchange/RequestDocuments.h"
#include "exchange/ServerErrors.h"
#include "exchange/Transport.h"
#include "store/Database.h"
#include "store/FetchStack.h"
#include "store/ReceivedMessages.h"
#include "store/Settings.h"
#include "store/SettingsStore.h"

#include <QSet>
#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

constexpr qsizetype kQuotedLength = 4000;

} // namespace

// An answer read and waiting to be stored with its group.
struct Fetcher::Fetched {
    QString stackType;
    QStringList asked;
    std::vector<ReceivedPost> posts;
    std::vector<ReceivedComment> comments;
};

Fetcher::Fetcher(const Session& session, Transport& transport)
    : m_session(session)
    , m_transport(transport) {}

Fetcher::~Fetcher() = default;

ReceivedMessages& Fetcher::receivedStore() {
    if (!m_store || m_store->ownName() != m_session.settings.UserName) {
        m_store = std::make_unique<ReceivedMessages>(m_session.db, m_session.settings.UserName);
    }
    return *m_store;
}

int Fetcher::batchSize(const QString& setting) {
    bool ok = false;
    const double value = setting.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::abs(value) > 32767) {
        throw OrvError(u"Несоответствие типа"_s);
    }
    return int(std::nearbyint(value));
}

QString Fetcher::quoted(const QString& answer) {
    return answer.size() > kQuotedLength ? answer.left(kQuotedLength) + u" ..."_s : answer;
}

bool Fetcher::refused(const ResultDocument& document, const QString& prefix, const QString& usual) {
    const QString code = document.refusal(usual);
    if (code.isEmpty()) {
        return false;
    }
    m_refusal =
        prefix + u"Сервер вернул ошибку №"_s + code + u" ("_s + ServerErrorText(code) + u')';
    m_session.log.LogFailure(m_refusal);
    m_transport.stopRun();
    return true;
}

QString Fetcher::BuildIDquery(const Settings& settings, const QStringList& ids,
                              const QString& stackType) {
    const QString type = stackType == FetchStack::Posts ? u"19"_s : u"17"_s;
    QStringList lines = {u"<query QID='"_s + Escaping::xml(stackType) + u"' TYPE='"_s + type +
                         u"'>"_s};
    for (const QString& id : ids) {
        if (!id.isEmpty()) {
            lines.append(RequestDocuments::element(u"id"_s, id));
        }
    }
    lines.append(u"</query>"_s);
    return RequestDocuments::envelope(settings, lines);
}

void Fetcher::BuildIDstack(QString answer, const ResultDocument* parsed) {
    const QString path = m_session.folder.PostFilePath();
    answer.replace(u'"', u'\'');
    const qsizetype declaration =
        answer.indexOf(ResultDocument::Declaration, 0, Qt::CaseInsensitive);
    std::optional<ResultDocument> document;
    if (declaration >= 0) {
        answer.remove(0, declaration);
        if (!parsed || declaration > 0) {
            document = ResultDocument::parse(answer);
            parsed = document ? &*document : nullptr;
        }
    }
    if (declaration < 0 || !parsed) {
        // The answer that could not be read stays in the request file, which
        // the line below names.
        if (!answer.isEmpty()) {
            runTrapped(m_session.log, u"Mod_Qrys.BuildIDstack: "_s,
                       [&] { TextFiles::WriteTextFile(path, answer); });
        }
        if (!m_session.ConnectionFailed) {
            m_session.log.LogFailure(u"Mod_Qrys.BuildIDstack: загрузка XML из "_s + path +
                                     u" обломилась.\r\nТекст файла:\r\n\r\n"_s + quoted(answer));
        }
        return;
    }
    if (refused(*parsed, u"Mod_Qrys.BuildIDstack: "_s)) {
        return; // the check time stays: nothing it covers was stacked
    }
    runTrapped(m_session.log, u"Mod_Qrys.BuildIDstack: "_s, [&] {
        const IdList list = DecodeIdList(*parsed);
        if (list.stackType.isEmpty()) {
            return;
        }
        bool limited = false;
        if (!list.checkTimeKey.isEmpty() &&
            list.ids.size() == m_session.settings.MaxPost.trimmed().toInt(&limited) && limited) {
            m_session.log.LogStatus(u"Сервер вернул максимум ("_s +
                                    m_session.settings.MaxPost.trimmed() +
                                    u") — часть новых сообщений могла не поместиться; увеличьте "
                                    u"MaxPost в настройках"_s);
        }
        // The check time moves only together with the identifiers it covers.
        Settings moved = m_session.settings;
        Database::Transaction transaction(m_session.db, Database::Transaction::OnFailure::RollBack);
        FetchStack(m_session.db).add(list.ids, list.stackType);
        if (!list.checkTimeKey.isEmpty()) {
            if (!clockLag) {
                clockLag = ServiceClock::lag(list.checkTime, QDateTime::currentDateTime());
            }
            (list.stackType == FetchStack::Posts ? moved.CheckTime_Posts
                                                 : moved.CheckTime_Comments) = list.checkTime;
            SettingsStore(m_session.db, m_session.log).writeOne(moved, list.checkTimeKey);
        }
        transaction.commit();
        m_session.settings.CheckTime_Posts = moved.CheckTime_Posts;
        m_session.settings.CheckTime_Comments = moved.CheckTime_Comments;
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
        for (int start = 0; start < total && !m_session.cancelled() && !m_transport.stopped();
             start += batchSize) {
            m_session.log.LogStatus(remembered + u' ' + QString::number(start) + u" из "_s +
                                    QString::number(total));
            m_session.progress(start, total);
            const QStringList asked = waiting.mid(start, batchSize);
            const QString answer =
                m_transport.exchange(BuildIDquery(m_session.settings, asked, stackType));
            store(stackType, asked, answer);
            m_session.progress(std::min(start + batchSize, total), total);
        }
        storeFetched();
        stack.deleteDone();
        TextFiles::DeleteIfExists(m_session.folder.PostFilePath());
    });
}

void Fetcher::store(const QString& stackType, const QStringList& asked, const QString& answer) {
    const bool posts = stackType == FetchStack::Posts;
    const auto document = ResultDocument::parse(answer);
    if (!document) {
        // An answer that could not be read stays in the request file as a
        // trace of what came.
        if (!answer.isEmpty()) {
            runTrapped(m_session.log, u"Mod_Qrys.GetMessagesFromStack: "_s,
                       [&] { TextFiles::WriteTextFile(m_session.folder.PostFilePath(), answer); });
        }
        m_session.log.LogFailure(
            (posts ? u"DecodePosts"_s : u"DecodeComments"_s) +
            u":: Структура XML-файла нарушена.\r\nСодержание файла:\r\n\r\n"_s +
            quoted(TextFiles::firstField(answer)) + u" ..."_s);
        return; // the batch's items stay waiting
    }
    if (refused(*document, u"Mod_Qrys.GetMessagesFromStack: "_s)) {
        return;
    }
    Fetched fetched{stackType, asked, {}, {}};
    const bool decoded = posts
                             ? runTrapped(m_session.log, u"Mod_DB.DecodePosts: "_s,
                                          [&] { fetched.posts = DecodePosts(*document); })
                             : runTrapped(m_session.log, u"Mod_DB.DecodeComments: "_s, [&] {
                                   fetched.comments = DecodeComments(*document, m_session.prompts);
                               });
    if (!decoded) {
        return;
    }
    if (m_fetched.empty()) {
        m_fetchedSince.start();
    }
    m_fetchedItems += int(fetched.posts.size() + fetched.comments.size());
    m_fetched.push_back(std::move(fetched));
    if (m_fetchedItems >= GroupItems || m_fetchedSince.elapsed() >= GroupMilliseconds) {
        storeFetched();
    }
}

void Fetcher::storeFetched() {
    const std::vector<Fetched> group = std::move(m_fetched);
    m_fetched.clear();
    m_fetchedItems = 0;
    if (group.empty()) {
        return;
    }
    QStringList storedPosts;
    const bool committed = runTrapped(m_session.log, u"Mod_Qrys.GetMessagesFromStack: "_s, [&] {
        // Each answer is stored in a savepoint of its own: one that fails
        // leaves the others stored. Their full-text entries are written
        // after them all; a group whose entries cannot be written is undone,
        // and waits in the stack for the next run.
        Database::Transaction transaction(m_session.db, Database::Transaction::OnFailure::RollBack);
        ReceivedMessages& store = receivedStore();
        ReceivedMessages::IndexHold hold(store);
        for (const Fetched& fetched : group) {
            save(store, fetched, storedPosts);
        }
        hold.write();
        transaction.commit();
    });
    if (committed && m_session.settings.AutoLoadComments && !storedPosts.isEmpty()) {
        loadAllComments(storedPosts);
    }
}

void Fetcher::save(ReceivedMessages& store, const Fetched& fetched, QStringList& storedPosts) {
    QSet<QString> answered;
    bool stored = false;
    if (fetched.stackType == FetchStack::Posts) {
        stored = runTrapped(m_session.log, u"Mod_DB.SaveFriendPosts: "_s, [&] {
            logFailed(u"Mod_DB.SaveFriendPosts: "_s, store.savePosts(fetched.posts));
        });
        for (const ReceivedPost& post : fetched.posts) {
            answered.insert(post.postId);
            if (stored) {
                storedPosts.append(post.postId);
            }
        }
    } else {
        stored = runTrapped(m_session.log, u"Mod_DB.SaveComments: "_s, [&] {
            logFailed(u"Mod_DB.SaveComments: "_s, store.saveComments(fetched.comments));
        });
        for (const ReceivedComment& comment : fetched.comments) {
            answered.insert(comment.commentId);
        }
    }
    // The store marked every item the answer held: only items it left out
    // can have missed.
    if (stored && std::any_of(fetched.asked.cbegin(), fetched.asked.cend(),
                              [&](const QString& id) { return !answered.contains(id); })) {
        noteMisses(fetched.asked, fetched.stackType);
    }
}

void Fetcher::noteMisses(const QStringList& asked, const QString& stackType) {
    runTrapped(m_session.log, u"Mod_Qrys.GetMessagesFromStack: "_s, [&] {
        for (const QString& id : FetchStack(m_session.db).noteMisses(asked, stackType)) {
            m_session.log.LogFailure(
                u"Mod_Qrys.GetMessagesFromStack: сервер не вернул сообщение "_s + id +
                u" ни в одном из "_s + QString::number(FetchStack::MaxMisses) +
                u" последних ответов, оно больше не запрашивается"_s);
        }
    });
}

void Fetcher::logFailed(const QString& prefix, const StoreReport& report) {
    for (const auto& [item, error] : report.failed) {
        m_session.log.LogFailure(prefix + error + u" ("_s + item + u')');
    }
}

void Fetcher::loadAllComments(const QStringList& postIds) {
    for (const QString& postId : postIds) {
        if (m_session.cancelled() || m_transport.stopped()) {
            return; // the comments of the remaining posts: "Получить все комменты"
        }
        m_session.log.LogStatus(u"Автозагрузка всех комментариев к посту "_s + postId);
        BuildIDstack(
            m_transport.exchange(RequestDocuments::allComments(m_session.settings, postId)));
    }
}

} // namespace orv
