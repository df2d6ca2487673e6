#include "PostsDecoder.h"

#include "app/ErrorTrap.h"
#include "store/FetchStack.h"
#include "store/ReceivedMessages.h"
#include "store/Settings.h"

using namespace Qt::StringLiterals;

namespace orv {
namespace {

const QStringList kFields = {u"MESSAGE"_s,  u"HEADER"_s, u"MESSAGEDATE"_s,
                             u"USERNAME"_s, u"POSTID"_s, u"JOURNALID"_s};

} // namespace

PostsDecoder::PostsDecoder(const Session& session, CommentLoader loadAllComments)
    : m_session(session)
    , m_loadAllComments(std::move(loadAllComments)) {}

std::optional<DecodedTable> PostsDecoder::DecodePosts(const QString& path) {
    std::optional<DecodedTable> decoded;
    runTrapped(m_session.log, u"Mod_DB.DecodePosts: "_s, [&] {
        const auto document = ResultDocument::loadOrReport(m_session, u"DecodePosts"_s, path);
        if (!document) {
            return;
        }
        DecodedTable table(int(kFields.size()));
        FetchStack stack(m_session.db);
        int row = 0;
        for (const QDomElement& result : ResultDocument::results(*document)) {
            if (result.attribute(u"QID"_s) != FetchStack::Posts || !result.hasChildNodes()) {
                continue;
            }
            const auto items = ResultDocument::children(result, u"ITEM"_s);
            table.resize(int(items.size()));
            row = 0;
            for (const QDomElement& item : items) {
                QStringList& fields = table.rows[size_t(row)];
                for (int column = 0; column < kFields.size(); ++column) {
                    fields[column] = ResultDocument::childText(item, kFields[column]);
                }
                if (m_session.settings.AutoLoadComments && m_loadAllComments) {
                    m_loadAllComments(fields[4]);
                }
                stack.markDone(fields[4]);
                ++row;
            }
        }
        decoded = std::move(table);
    });
    return decoded;
}

void PostsDecoder::SaveFriendPosts(const QString& path) {
    const auto decodedTable = DecodePosts(path);
    runTrapped(m_session.log, u"Mod_DB.SaveFriendPosts: "_s, [&] {
        const DecodedTable& table = ResultDocument::decoded(decodedTable);
        if (table.rows.front()[2].isEmpty()) {
            return; // nothing to store
        }
        std::vector<ReceivedPost> posts;
        posts.reserve(table.rows.size());
        for (const QStringList& r : table.rows) {
            posts.push_back({r[0], r[1], r[2], r[3], r[4], r[5]});
        }
        ReceivedMessages(m_session.db).savePosts(posts);
    });
}

} // namespace orv
