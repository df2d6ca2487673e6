#pragma once

#include "ResultDocument.h"
#include "app/Session.h"

namespace orv {

// Received private messages into PrivateMessages.
class PrivatesDecoder {
public:
    explicit PrivatesDecoder(const Session& session);

    // Columns: MESSAGE, MESSAGEDATE, USERNAME. A result without items leaves
    // the marker "0" in column 1 of row 0.
    std::optional<DecodedTable> DecodePrivates(const QString& path);

    void SavePrivate(const QString& path);

private:
    Session m_session;
};

} // namespace orv
