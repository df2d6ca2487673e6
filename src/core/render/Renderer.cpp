#include "Renderer.h"

#include "AppContext.h"
#include "Markup.h"
#include "app/ErrorTrap.h"

using namespace Qt::StringLiterals;

namespace orv {

Renderer::Renderer(AppContext& ctx)
    : m_ctx(ctx)
    , m_catalogue(ctx.db) {}

QString Renderer::WordProcessor(const QString& text) {
    QString html;
    runTrapped(m_ctx.log, u"Mod_Misc.WordProcessor: "_s,
               [&] { html = Markup::WordProcessor(text, m_catalogue.smileys()); });
    return html;
}

PageBuilder Renderer::pageBuilder() {
    return PageBuilder(m_ctx.folder.outPagePath(), m_ctx.settings.serviceAddress(),
                       [this](const QString& body) { return WordProcessor(body); });
}

} // namespace orv
