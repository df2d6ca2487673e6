#pragma once

#include "StandinData.h"
#include "TestFolder.h"
#include "store/Database.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <algorithm>

namespace orv::test {

// A working folder with an open store of the current schema.
struct StoreFolder {
    TestFolder dir{TestFolder::Icons::None};
    Database db{dir.file(QStringLiteral("database.mdb"))};
    StoreFolder() { db.open(); }

    // Runs the statement with the values bound in order.
    void exec(const QString& sql, const QVariantList& values = {}) {
        QSqlQuery q = db.prepare(sql);
        for (const QVariant& value : values) {
            q.addBindValue(value);
        }
        Database::exec(q);
    }
};

// Every row the query gives, its columns joined with "|".
inline QStringList rows(Database& db, const QString& sql) {
    QSqlQuery q = db.prepare(sql);
    Database::exec(q);
    QStringList values;
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < q.record().count(); ++i) {
            row.append(q.value(i).toString());
        }
        values.append(row.join(u'|'));
    }
    return values;
}

// Posts and comments the search does not know, or search entries of none.
inline QString indexDifference(Database& db) {
    using namespace Qt::StringLiterals;
    QStringList differences;
    for (const QString& table : {u"Posts"_s, u"Comments"_s}) {
        const QStringList stored = rows(db, u"SELECT ThisID FROM "_s + table + u" ORDER BY 1"_s);
        const QStringList indexed =
            rows(db, u"SELECT rowid FROM "_s + table + u"Text ORDER BY 1"_s);
        if (stored != indexed) {
            differences.append(table + u" searched: "_s + QString::number(indexed.size()) +
                               u" entries for "_s + QString::number(stored.size()) + u" rows"_s);
        }
    }
    return differences.join(u"; "_s);
}

// What differs between the store and the stand-in's data set: every post and
// comment exactly once and found by a search, the friends and readers lists,
// no private message twice, and an intact database file. Empty when nothing
// differs.
inline QString storeDifference(Database& db, const standin::StandinData& data) {
    using namespace Qt::StringLiterals;
    const auto sorted = [](QStringList list) {
        list.sort();
        return list;
    };
    QStringList posts, comments, relations, differences;
    for (const auto& p : data.posts) {
        posts.append(QString::number(p.id));
    }
    for (const auto& c : data.comments) {
        comments.append(QString::number(c.id));
    }
    for (const auto& [names, status] :
         {std::pair(data.buddies, u"/BUDDY"_s), std::pair(data.readers, u"/READER"_s)}) {
        for (const QString& name : names) {
            relations.append(name + status);
        }
    }
    const auto compare = [&](const QString& what, const QString& sql, QStringList expected) {
        QStringList missing = sorted(expected), extra = sorted(rows(db, sql));
        if (extra == missing) {
            return;
        }
        for (const QString& s : rows(db, sql)) {
            missing.removeOne(s);
        }
        for (const QString& e : expected) {
            extra.removeOne(e);
        }
        differences.append(what + u": missing "_s + QString::number(missing.size()) + u" ("_s +
                           missing.mid(0, 5).join(u' ') + u"), extra or twice "_s +
                           QString::number(extra.size()) + u" ("_s + extra.mid(0, 5).join(u' ') +
                           u')');
    };
    compare(u"posts"_s, u"SELECT PostID FROM Posts WHERE Deleted = 0"_s, posts);
    compare(u"comments"_s, u"SELECT CommentID FROM Comments WHERE Deleted = 0"_s, comments);
    compare(u"relations"_s, u"SELECT Nick || '/' || Status FROM AddressBook"_s, relations);
    if (const QString index = indexDifference(db); !index.isEmpty()) {
        differences.append(index);
    }
    const QStringList privates =
        sorted(rows(db, u"SELECT uName || Messagedate || Message FROM PrivateMessages"_s));
    if (std::adjacent_find(privates.begin(), privates.end()) != privates.end()) {
        differences.append(u"a private message twice"_s);
    }
    if (const QStringList integrity = rows(db, u"PRAGMA integrity_check"_s);
        integrity != QStringList{u"ok"_s}) {
        differences.append(u"integrity: "_s + integrity.join(u' '));
    }
    return differences.join(u"; "_s);
}

} // namespace orv::test
