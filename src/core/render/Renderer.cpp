#include "Renderer.h"

#include "BodyFilter.h"
#include "Markup.h"
#include "app/ErrorTrap.h"
#include "app/WorkingFolder.h"
#include "store/Settings.h"

using namespace Qt::StringLiterals;

namespace orv {

Renderer::Renderer(const Session& session)
    : m_session(session)
    , m_catalogue(session.db) {}

QString Renderer::WordProcessor(const QString& text) {
    QString html;
    runTrapped(m_session.log, u"Mod_Misc.WordProcessor: "_s, [&] {
        html = BodyFilter::safe(Markup::WordProcessor(text, m_catalogue.smileys()));
    });
    return html;
}

PageBuilder Renderer::pageBuilder() {
    PageBuilder pages(m_session.folder.outPagePath(), m_session.settings.serviceAddress(),
                      [this](const QString& body) { return WordProcessor(body); });
    pages.setTimeOffset(m_session.settings.timeOffsetHours());
    return pages;
}

} // namespace orv
