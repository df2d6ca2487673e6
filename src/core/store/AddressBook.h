#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace orv {

class Database;

// One name of the friends or readers list: Status is "BUDDY" or "READER".
struct Relation {
    QString nick;
    QString status;
};

// The table AddressBook: friends ("BUDDY") and regular readers ("READER") as the
// service last reported them. All calls throw OrvError.
class AddressBook {
public:
    static inline const QString Buddy = QStringLiteral("BUDDY");
    static inline const QString Reader = QStringLiteral("READER");

    explicit AddressBook(Database& db);

    // An address book of three columns gains the column Old.
    void ensureOldColumn();

    // Brings the table in line with a report: every row named is marked present
    // (Old), a row not yet stored is added as new; the others are left marked
    // departed. One transaction.
    void apply(const std::vector<Relation>& relations);

    // Names in Nick order.
    QStringList nicks(const QString& status);
    // Every name of either list once, in Nick order; empty names left out.
    QStringList distinctNicks();
    // The arrivals not yet announced, which count as announced afterwards.
    QStringList takeArrivals(const QString& status);
    QStringList departed(const QString& status);
    void deleteDeparted(const QString& status);

private:
    QStringList select(const QString& sql, const QString& status);

    Database& m_db;
};

} // namespace orv
