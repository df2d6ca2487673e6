#pragma once

#include "StandinData.h"
#include "store/Database.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <algorithm>

namespace orv::test {

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

// What differs between the store and the stand-in's data set: every post and
// comment exactly once, the friends and readers lists, no private message
// twice, and an intact database file. Empty when nothing differs.
inline QString storeDifference(Database& db, const standin::StandinData& data) {
    const auto column = [&](const QString& sql) {
        QSqlQuery q = db.prepare(sql);
        Database::exec(q);
        QStringList values;
        while (q.next()) {
            values.append(q.value(0).toString());
        }
        values.sort();
        return values;
    };
    const auto sorted = [](QStringList list) {
        list.sort();
        return list;
    };
    QStringList posts, comments, relations;
    for (const auto& p : data.posts) {
        posts.append(QString::number(p.id));
    }
    for (const auto& c : data.comments) {
        comments.append(QString::number(c.id));
    }
    for (const QString& b : data.buddies) {
        relations.append(b + QStringLiteral("/BUDDY"));
    }
    for (const QString& r : data.readers) {
        relations.append(r + QStringLiteral("/READER"));
    }
    QStringList differences;
    const auto compare = [&](const QString& what, const QStringList& stored,
                             const QStringList& expected) {
        if (stored == sorted(expected)) {
            return;
        }
        QStringList missing = sorted(expected), extra = stored;
        for (const QString& s : stored) {
            missing.removeOne(s);
        }
        for (const QString& e : expected) {
            extra.removeOne(e);
        }
        differences.append(what + QStringLiteral(": missing ") + QString::number(missing.size()) +
                           QStringLiteral(" (") + missing.mid(0, 5).join(u' ') +
                           QStringLiteral("), extra or twice ") + QString::number(extra.size()) +
                           QStringLiteral(" (") + extra.mid(0, 5).join(u' ') + u')');
    };
    compare(QStringLiteral("posts"),
            column(QStringLiteral("SELECT PostID FROM Posts WHERE Deleted = 0")), posts);
    compare(QStringLiteral("comments"),
            column(QStringLiteral("SELECT CommentID FROM Comments WHERE Deleted = 0")), comments);
    compare(QStringLiteral("relations"),
            column(QStringLiteral("SELECT Nick || '/' || Status FROM AddressBook")), relations);
    const QStringList privates =
        column(QStringLiteral("SELECT uName || Messagedate || Message FROM PrivateMessages"));
    if (std::adjacent_find(privates.begin(), privates.end()) != privates.end()) {
        differences.append(QStringLiteral("a private message twice"));
    }
    const QStringList integrity = column(QStringLiteral("PRAGMA integrity_check"));
    if (integrity != QStringList{QStringLiteral("ok")}) {
        differences.append(QStringLiteral("integrity: ") + integrity.join(u' '));
    }
    return differences.join(QStringLiteral("; "));
}

} // namespace orv::test
