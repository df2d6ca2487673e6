#pragma once

#include "PageBuilder.h"
#include "SmileCatalogue.h"

namespace orv {

struct AppContext;

// Turns stored bodies into HTML with the stored smiley catalogue, and writes
// the view's page with it.
class Renderer {
public:
    explicit Renderer(AppContext& ctx);

    // A failure is logged as "Mod_Misc.WordProcessor: " and gives "".
    QString WordProcessor(const QString& text);

    // Writes tmp/out.htm; links point at the service's address.
    PageBuilder pageBuilder();
    // New smileys were stored: the next page shows them.
    void smileysChanged() { m_catalogue.invalidate(); }

private:
    AppContext& m_ctx;
    SmileCatalogue m_catalogue;
};

} // namespace orv
