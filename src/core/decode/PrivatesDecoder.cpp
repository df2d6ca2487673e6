#include "PrivatesDecoder.h"

#include "app/ErrorTrap.h"
#include "store/ReceivedMessages.h"

using namespace Qt::StringLiterals;

namespace orv {
namespace {

const QStringList kFields = {u"MESSAGE"_s, u"MESSAGEDATE"_s, u"USERNAME"_s};

} // namespace

PrivatesDecoder::PrivatesDecoder(const Session& session)
    : m_session(session) {}

std::optional<DecodedTable> PrivatesDecoder::DecodePrivates(const QString& path) {
    std::optional<DecodedTable> decoded;
    runTrapped(m_session.log, u"Mod_DB.DecodePrivates: "_s, [&] {
        const auto document = ResultDocument::loadOrReport(m_session, u"DecodePrivates"_s, path);
        if (!document) {
            return;
        }
        DecodedTable table(int(kFields.size()));
        for (const QDomElement& result : ResultDocument::results(*document)) {
            if (!ResultDocument::goOnAfter(m_session, u"Mod_DB.DecodePrivates:: "_s,
                                           ResultDocument::errorCode(result))) {
                table.stopped = true;
                break;
            }
            table.reset();
            const auto items = ResultDocument::children(result, u"ITEM"_s);
            if (items.isEmpty()) {
                table.rows.front()[1] = u"0"_s;
                break;
            }
            table.resize(int(items.size()));
            int row = 0;
            for (const QDomElement& item : items) {
                for (int column = 0; column < kFields.size(); ++column) {
                    table.rows[size_t(row)][column] =
                        ResultDocument::childText(item, kFields[column]);
                }
                ++row;
            }
        }
        decoded = std::move(table);
    });
    return decoded;
}

void PrivatesDecoder::SavePrivate(const QString& path) {
    const auto decodedTable = DecodePrivates(path);
    runTrapped(m_session.log, u"Mod_DB.SavePrivate: "_s, [&] {
        const DecodedTable& table = ResultDocument::decoded(decodedTable);
        if (table.rows.front()[1] == u"0"_s) {
            return;
        }
        std::vector<ReceivedPrivate> messages;
        for (const QStringList& r : table.rows) {
            messages.push_back({r[0], r[1], r[2]});
        }
        ReceivedMessages(m_session.db).savePrivates(messages);
    });
}

} // namespace orv
