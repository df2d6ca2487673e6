#pragma once

#include "ResultDocument.h"
#include "app/Session.h"

namespace orv {

// The friends and readers lists into AddressBook, and the reports of who came
// and who left.
class RelationsDecoder {
public:
    explicit RelationsDecoder(const Session& session);

    // Rows (name, "BUDDY" or "READER"), friends first. A result naming nobody
    // leaves the marker "0" in column 1 of row 0.
    std::optional<DecodedTable> DecodeRel(const QString& path);

    // Applies the answer. A broken answer, or a No to the service-error
    // question, leaves every relation as it was.
    void SaveRel(const QString& path);

    // Announces arrivals and departures, and removes the departed.
    void CheckFriends();

private:
    Session m_session;
};

} // namespace orv
