#include "RelationsDecoder.h"

#include "app/ErrorTrap.h"
#include "app/OrvError.h"
#include "app/UserPrompts.h"
#include "store/AddressBook.h"

using namespace Qt::StringLiterals;

namespace orv {
namespace {

QString nameList(const QStringList& names) {
    QString list;
    for (const QString& name : names) {
        list += u"\r\n"_s + name;
    }
    return list;
}

} // namespace

RelationsDecoder::RelationsDecoder(const Session& session)
    : m_session(session) {}

std::optional<DecodedTable> RelationsDecoder::DecodeRel(const QString& path) {
    std::optional<DecodedTable> decoded;
    runTrapped(m_session.log, u"Mod_DB.DecodeRel: "_s, [&] {
        const auto document = ResultDocument::loadOrReport(m_session, u"DecodeRel"_s, path);
        if (!document) {
            return;
        }
        DecodedTable table(2);
        for (const QDomElement& result : ResultDocument::results(*document)) {
            if (!ResultDocument::goOnAfter(m_session, u"Mod_DB.DecodeRel:: "_s,
                                           ResultDocument::errorCode(result))) {
                table.stopped = true;
                break;
            }
            table.reset();
            const auto buddies = ResultDocument::children(result, AddressBook::Buddy);
            const auto readers = ResultDocument::children(result, AddressBook::Reader);
            if (buddies.isEmpty() && readers.isEmpty()) {
                table.rows.front()[1] = u"0"_s;
                break;
            }
            table.rows.clear();
            for (const auto& [elements, status] : {std::pair(buddies, AddressBook::Buddy),
                                                   std::pair(readers, AddressBook::Reader)}) {
                for (const QDomElement& element : elements) {
                    if (element.text().isEmpty()) {
                        throw OrvError(u"пустое имя в списке "_s + status);
                    }
                    table.rows.push_back({element.text(), status});
                }
            }
        }
        decoded = std::move(table);
    });
    return decoded;
}

void RelationsDecoder::SaveRel(const QString& path) {
    const auto decodedTable = DecodeRel(path);
    runTrapped(m_session.log, u"Mod_DB.SaveRel: "_s, [&] {
        const DecodedTable& table = ResultDocument::decoded(decodedTable);
        AddressBook book(m_session.db);
        book.ensureOldColumn();
        if (table.stopped) {
            return; // the user declined: the lists stay as they were
        }
        std::vector<std::pair<QString, QString>> relations;
        if (table.rows.front()[1] != u"0"_s) {
            for (const QStringList& row : table.rows) {
                relations.emplace_back(row[0], row[1]);
            }
        }
        book.apply(relations); // an answer naming nobody empties the lists
    });
}

void RelationsDecoder::CheckFriends() {
    runTrapped(m_session.log, u"Mod_DB.CheckFriends: "_s, [&] {
        AddressBook book(m_session.db);
        const auto report = [&](const QStringList& names, const QString& text,
                                const QString& caption) {
            if (!names.isEmpty()) {
                m_session.prompts.showText(caption, text + nameList(names));
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

} // namespace orv
