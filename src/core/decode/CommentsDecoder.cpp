#include "CommentsDecoder.h"

#include "app/ErrorTrap.h"
#include "store/FetchStack.h"
#include "store/ReceivedMessages.h"

using namespace Qt::StringLiterals;

namespace orv {
namespace {

const QStringList kFields = {u"MESSAGE"_s, u"HEADER"_s, u"MESSAGEDATE"_s, u"USERNAME"_s,
                             u"POSTID"_s,  u"COMMID"_s, u"JOURNALID"_s};

} // namespace

CommentsDecoder::CommentsDecoder(const Session& session)
    : m_session(session) {}

std::optional<DecodedTable> CommentsDecoder::DecodeComments(const QString& path) {
    std::optional<DecodedTable> decoded;
    runTrapped(m_session.log, u"Mod_DB.DecodeComments: "_s, [&] {
        const auto document = ResultDocument::loadOrReport(m_session, u"DecodeComments"_s, path);
        if (!document) {
            return;
        }
        DecodedTable table(int(kFields.size()));
        FetchStack stack(m_session.db);
        for (const QDomElement& result : ResultDocument::results(*document)) {
            const QString qid = result.attribute(u"QID"_s);
            if (!ResultDocument::goOnAfter(m_session, u"Mod_DB.DecodeComments:: "_s,
                                           ResultDocument::errorCode(result))) {
                table.stopped = true;
                break;
            }
            const bool fetched = qid == FetchStack::Comments;
            const bool allOfPost = qid.section(u'-', 0, 0) == u"allcomments_for"_s;
            if ((!fetched && !allOfPost) || !result.hasChildNodes()) {
                continue;
            }
            const auto items = ResultDocument::children(result, u"ITEM"_s);
            table.resize(int(items.size()));
            int row = 0;
            for (const QDomElement& item : items) {
                QStringList& fields = table.rows[size_t(row)];
                for (int column = 0; column < kFields.size(); ++column) {
                    fields[column] = ResultDocument::childText(item, kFields[column]);
                }
                if (fetched) {
                    stack.markDone(fields[5]);
                }
                ++row;
            }
        }
        decoded = std::move(table);
    });
    return decoded;
}

void CommentsDecoder::SaveComments(const QString& path) {
    const auto decodedTable = DecodeComments(path);
    runTrapped(m_session.log, u"Mod_DB.SaveComments: "_s, [&] {
        const DecodedTable& table = ResultDocument::decoded(decodedTable);
        if (table.rows.front()[4].isEmpty()) {
            return;
        }
        std::vector<ReceivedComment> comments;
        comments.reserve(table.rows.size());
        for (const QStringList& r : table.rows) {
            comments.push_back({r[0], r[1], r[2], r[3], r[4], r[5], r[6]});
        }
        ReceivedMessages(m_session.db).saveComments(comments);
    });
}

} // namespace orv
