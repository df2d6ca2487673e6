#pragma once

#include "PageBuilder.h"
#include "SmileCatalogue.h"
#include "app/Session.h"

namespace orv {

// Turns stored bodies into HTML with the stored smiley catalogue, and writes
// the view's page with it. Works with the session's database, status log,
// working folder and settings (read when a page is made, so a changed service
// address shows on the next page).
class Renderer {
public:
    explicit Renderer(const Session& session);

    // A failure is logged as "Mod_Misc.WordProcessor: " and gives "".
    QString WordProcessor(const QString& text);

    // Writes tmp/out.htm; links point at the service's address.
    PageBuilder pageBuilder();
    // New smileys were stored: the next page shows them.
    void smileysChanged() { m_catalogue.invalidate(); }

private:
    const Session m_session; // a copy: it only holds references
    SmileCatalogue m_catalogue;
};

} // namespace orv
