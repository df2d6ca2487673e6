#include "SendRun.h"

#include "Fetcher.h"
#include "app/ErrorTrap.h"
#include "app/Escaping.h"
#include "app/OrvError.h"
#include "app/StatusLog.h"
#include "app/TextFiles.h"
#include "app/UserPrompts.h"
#include "app/WorkingFolder.h"
#include "exchange/SendQueries.h"
#include "exchange/ServerErrors.h"
#include "store/Settings.h"
#include "store/StoredDate.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <climits>
#include <cmath>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

using Kind = MessageRef::Kind;

const QString kPrefix = u"Mod_DB.MakeMessagesSent: "_s;

std::optional<Kind> kindOfResult(const QString& word) {
    if (word == u"post"_s) {
        return Kind::Post;
    }
    if (word == u"comment"_s) {
        return Kind::Comment;
    }
    if (word == u"privat"_s) {
        return Kind::Private;
    }
    return std::nullopt;
}

QString rejectedQuestion(const QString& code, const OutgoingMessage& row) {
    const QString error = u" возникла ошибка №"_s + code + u" ("_s + ServerErrorText(code) + u')';
    const QString date = StoredDate::toRussianText(row.date);
    if (row.kind == Kind::Comment) {
        // Whose diary the comment went to: the author of the commented post,
        // when it is stored.
        const QString owner = row.diaryOwner.isEmpty() ? row.userName : row.diaryOwner;
        return u"При отправке комментария от "_s + date + u" в дневник юзера "_s + owner + error +
               u"\r\n'Да' - оставить коммент для дальнейшего редактирования"_s +
               u"\r\n'Нет' - удалить коммент"_s;
    }
    // A private message is asked about in the words for a post.
    return u"При отправке поста от "_s + date + error +
           u"\r\n'Да' - оставить пост для дальнейшего редактирования"_s +
           u"\r\n'Нет' - удалить пост"_s;
}

} // namespace

SendRun::SendRun(const Session& session, InDoubt inDoubt)
    : m_session(session)
    , m_inDoubt(inDoubt)
    , m_transport(session)
    , m_outbox(session.db) {}

void SendRun::run() {
    m_session.log.LogStatus(u"Отправляю сообщения..."_s);
    SendMessages();
    runTrapped(m_session.log, u"MainForm.mnu_Send_Click: "_s, [this] {
        const QString waiting = waitingLine();
        if (!waiting.isEmpty()) {
            m_session.log.LogStatus(waiting);
        }
    });
    m_session.log.LogStatus(m_session.cancelled() ? RunControl::CancelledText
                                                  : u"Операция завершена"_s);
}

QString SendRun::waitingLine() {
    const qsizetype posts = m_outbox.unsentCount(Kind::Post);
    const qsizetype comments = m_outbox.unsentCount(Kind::Comment);
    const qsizetype privates = m_outbox.unsentCount(Kind::Private);
    if (posts + comments + privates == 0) {
        return {};
    }
    return u"Не отправлено: постов - "_s + QString::number(posts) + u", комментариев - "_s +
           QString::number(comments) + u", приватов - "_s + QString::number(privates);
}

int SendRun::batchSize(const QString& setting) {
    bool ok = false;
    const double value = setting.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        throw OrvError(u"Несоответствие типа"_s);
    }
    if (value < 1 || value > INT_MAX || value != std::floor(value)) {
        throw OrvError(u"размер пакета должен быть целым числом больше нуля, а не "_s + setting);
    }
    return int(value);
}

void SendRun::SendMessages() {
    runTrapped(m_session.log, u"Mod_Qrys.SendMessages: "_s, [this] {
        const Settings& settings = m_session.settings;
        // Private messages go in batches of the posts' size.
        const std::pair<Kind, QString> passes[] = {
            {Kind::Post, settings.PostsToSendPerOneSession},
            {Kind::Comment, settings.CommentsToSendPerOneSession},
            {Kind::Private, settings.PostsToSendPerOneSession},
        };
        m_messagesDone = 0;
        m_messagesTotal =
            int(m_outbox.unsentCount(Kind::Post) + m_outbox.unsentCount(Kind::Comment) +
                m_outbox.unsentCount(Kind::Private));
        for (const auto& [kind, batchSetting] : passes) {
            if (!sendKind(kind, batchSetting)) {
                break; // the connection is lost: the rest waits for the next run
            }
        }
        TextFiles::DeleteIfExists(m_session.folder.PostFilePath());
    });
}

std::vector<qint64> SendRun::keysToSend(Kind kind) {
    std::vector<qint64> keys = m_outbox.unsentKeys(kind);
    for (const OutgoingMessage& row : m_outbox.inDoubt(kind)) {
        // Unanswered (orv-cli without --answer, the program closing): it
        // waits, since the service may hold it already.
        const bool again =
            m_inDoubt == InDoubt::Ask &&
            m_session.prompts.askYesNoOr(
                QString(),
                u"Сообщение «"_s + shortTitle(row) +
                    u"» могло быть уже опубликовано: ответ сервера на него не получен. Отправить "
                    u"его ещё раз?"_s,
                false);
        if (!again) {
            std::erase(keys, row.key);
            --m_messagesTotal;
        }
    }
    return keys;
}

bool SendRun::sendKind(Kind kind, const QString& batchSetting) {
    const std::vector<qint64> keys = keysToSend(kind);
    if (keys.empty()) {
        return true;
    }
    const size_t size = size_t(batchSize(batchSetting));
    for (size_t start = 0; start < keys.size(); start += size) {
        if (m_session.cancelled()) {
            return false; // the rest waits in the outbox
        }
        m_session.progress(m_messagesDone, m_messagesTotal);
        const std::vector<qint64> slice(keys.begin() + qsizetype(start),
                                        keys.begin() +
                                            qsizetype(std::min(start + size, keys.size())));
        // A row deleted meanwhile is left out.
        sendBatch(m_outbox.find(kind, slice));
        m_messagesDone += int(slice.size());
        m_session.progress(m_messagesDone, m_messagesTotal);
        if (m_transport.failedThisRun()) {
            return false;
        }
    }
    return true;
}

void SendRun::sendBatch(const std::vector<OutgoingMessage>& batch) {
    if (batch.empty()) {
        return;
    }
    const Kind kind = batch.front().kind;
    std::vector<qint64> fresh; // not in doubt before this batch
    for (const OutgoingMessage& row : batch) {
        if (!row.inDoubt()) {
            fresh.push_back(row.key);
        }
    }
    // Marked before anything leaves: whatever happens next, the rows are
    // never sent again without the user's word. Rows in doubt are marked
    // already, and keep the time they may have been published since.
    m_outbox.handOver(kind, fresh);
    const QString answer =
        m_transport.exchange(SendQueries::BuildSendPostQuery(m_session.settings, batch));
    if (m_transport.lastDelivery() == Transport::Delivery::NotSent) {
        m_outbox.takeBack(kind, fresh); // an earlier doubt stays
    }
    const qsizetype lost = qsizetype(batch.size()) - MakeMessagesSent(answer, batch);
    // An answer that left messages without their result stays in the request
    // file as a trace.
    if (lost > 0 && !answer.isEmpty()) {
        runTrapped(m_session.log, u"Mod_Qrys.SendMessages: "_s,
                   [&] { TextFiles::WriteTextFile(m_session.folder.PostFilePath(), answer); });
    }
    if (lost > 0 && m_transport.lastDelivery() != Transport::Delivery::NotSent) {
        m_session.log.LogFailure(u"Ответ сервера о сообщениях не получен (сообщений - "_s +
                                 QString::number(lost) +
                                 u"); без вашего согласия они не будут отправлены ещё раз"_s);
    }
}

qsizetype SendRun::MakeMessagesSent(const QString& answer,
                                    const std::vector<OutgoingMessage>& batch) {
    qsizetype answered = 0;
    runTrapped(m_session.log, kPrefix, [&] {
        // A warning printed in front of the declaration does not hide the
        // results behind it: those messages are published.
        const qsizetype at = answer.indexOf(ResultDocument::Declaration, 0, Qt::CaseInsensitive);
        if (at < 0) {
            logFailure(u"При публиковании сообщений сервер не вернул XML-ответ. Текст ответа см "
                       u"в файле лога.\r\nСодержание файла:\r\n"_s +
                       Fetcher::quoted(TextFiles::firstField(answer)) + u" ..."_s);
            return;
        }
        const QString xml = answer.mid(at);
        if (at > 0) {
            TextFiles::WriteTextFile(m_session.folder.PostFilePath(), xml);
        }
        const auto document = ResultDocument::parse(xml);
        if (!document) {
            m_session.log.LogFailure(
                u"MakeMessagesSent:: Структура XML-файла нарушена.\r\nСодержание файла:\r\n\r\n"_s +
                Fetcher::quoted(TextFiles::firstField(xml)) + u" ..."_s);
            return;
        }
        answered = applyResults(DecodeSendResults(*document), batch);
    });
    return answered;
}

qsizetype SendRun::applyResults(const std::vector<SendResult>& results,
                                const std::vector<OutgoingMessage>& batch) {
    // Only what this batch asked for is answered here; anything else in the
    // answer would mark a message the service never saw.
    QSet<QString> waiting;
    for (const OutgoingMessage& row : batch) {
        waiting.insert(SendQueries::qidOf(row.kind, row.key));
    }
    QSet<QString> answered;
    // What the service accepted is stored before any question is asked: a
    // run cut short while the user thinks must not publish it again.
    std::vector<SendOutcome> accepted;
    std::vector<const SendResult*> rejected;
    for (const SendResult& result : results) {
        if (!result.problem.isEmpty()) {
            logFailure(result.problem);
        } else if (answered.contains(result.qid)) {
            logFailure(u"повторный результат для сообщения: "_s + result.qid);
        } else if (!waiting.remove(result.qid)) {
            logFailure(u"результат для сообщения не из этого пакета: "_s + result.qid);
        } else {
            answered.insert(result.qid);
            if (!result.accepted()) {
                rejected.push_back(&result);
            } else if (auto outcome = acceptance(result)) {
                accepted.push_back(std::move(*outcome));
            }
        }
    }
    logRefused(m_outbox.apply(accepted));
    std::vector<SendOutcome> decisions;
    for (const SendResult* result : rejected) {
        if (auto outcome = rejection(*result)) {
            decisions.push_back(std::move(*outcome));
        }
    }
    logRefused(m_outbox.apply(decisions));
    return answered.size();
}

std::optional<SendOutcome> SendRun::acceptance(const SendResult& result) {
    const auto kind = kindOfResult(result.kindWord);
    bool numeric = false;
    const qint64 key = result.key.toLongLong(&numeric);
    if (!kind || !numeric) {
        return std::nullopt; // not a message of the outbox
    }
    if (*kind != Kind::Private && result.items.empty()) {
        // Without its identifiers the message cannot be marked: it stays in
        // doubt until a receive brings the published copy.
        logFailure(u"сервер принял сообщение "_s + result.qid + u" без ITEM"_s);
        return std::nullopt;
    }
    // A row gone meanwhile is simply not there to be marked.
    return SendOutcome{*kind, key, SendOutcome::Action::Accept, result.items, {}};
}

std::optional<SendOutcome> SendRun::rejection(const SendResult& result) {
    const auto kind = kindOfResult(result.kindWord);
    if (!kind) {
        return std::nullopt; // not a message of the outbox
    }
    bool numeric = false;
    const qint64 key = result.key.toLongLong(&numeric);
    const auto row = numeric ? m_outbox.find(*kind, key) : std::nullopt;
    if (!row || row->sent) {
        // Deleted (or sent) meanwhile: the results after it still count.
        logFailure(u"нет неотправленного сообщения "_s + result.qid + u" в базе"_s);
        return std::nullopt;
    }
    if (!m_session.prompts.attended()) {
        // Nobody can answer now: the row waits, unsent, for the user.
        const QString notice = u"Сервер отклонил сообщение «"_s + shortTitle(*row) + u"»: "_s +
                               ServerErrorText(result.error);
        m_session.log.LogStatus(notice + u" (ожидает решения)"_s);
        m_session.prompts.notice(notice);
        return SendOutcome{*kind, key, SendOutcome::Action::Defer, {}, result.error};
    }
    if (!keepRejected(result.error, *row)) {
        return SendOutcome{*kind, key, SendOutcome::Action::Delete, {}, {}};
    }
    // "Already there": the service holds this text, most likely from an
    // answer that was lost, so the kept row stays in doubt for a receive to
    // settle. Otherwise it is an ordinary unsent row again.
    if (result.error == u"63"_s || result.error == u"1616"_s) {
        return std::nullopt;
    }
    return SendOutcome{*kind, key, SendOutcome::Action::Keep, {}, {}};
}

void SendRun::logRefused(const std::vector<std::pair<SendOutcome, QString>>& refused) {
    for (const auto& [outcome, error] : refused) {
        logFailure(error + u" ("_s + SendQueries::qidOf(outcome.kind, outcome.key) + u')');
    }
}

bool SendRun::keepRejected(const QString& code, const OutgoingMessage& row) {
    // Unanswered (the program closing) keeps the message: only the user deletes.
    return m_session.prompts.askYesNoOr(QString(), rejectedQuestion(code, row), true);
}

int SendRun::decidePending() {
    int decided = 0;
    for (const PendingDecision& pending : m_outbox.awaitingDecision()) {
        const auto action = keepRejected(pending.error, pending.row) ? SendOutcome::Action::Keep
                                                                     : SendOutcome::Action::Delete;
        logRefused(
            m_outbox.apply({SendOutcome{pending.row.kind, pending.row.key, action, {}, {}}}));
        ++decided;
    }
    return decided;
}

QString SendRun::shortTitle(const OutgoingMessage& message) {
    constexpr qsizetype kLength = 40;
    // The title, or the first words of the text; markup left out.
    static const QRegularExpression tags(u"<[^>]*>"_s);
    QString text = QString(message.header).replace(tags, u" "_s).simplified();
    if (text.isEmpty()) {
        text = QString(message.message).replace(tags, u" "_s).simplified();
    }
    text = Escaping::decode(text);
    if (text.size() <= kLength) {
        return text;
    }
    const qsizetype cut = text.at(kLength - 1).isHighSurrogate() ? kLength - 1 : kLength;
    return text.left(cut).trimmed() + u'…';
}

void SendRun::logFailure(const QString& text) {
    m_session.log.LogFailure(kPrefix + text);
}

} // namespace orv
