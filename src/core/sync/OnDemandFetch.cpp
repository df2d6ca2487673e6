#include "OnDemandFetch.h"

#include "Fetcher.h"
#include "PictureRun.h"
#include "app/ErrorTrap.h"
#include "app/StatusLog.h"
#include "app/TextFiles.h"
#include "app/WorkingFolder.h"
#include "decode/SmilesDecoder.h"
#include "exchange/RequestDocuments.h"
#include "exchange/Transport.h"
#include "store/FetchStack.h"
#include "store/Settings.h"
#include "store/SettingsStore.h"
#include "store/SmileStore.h"
#include "tree/NodeKey.h"

using namespace Qt::StringLiterals;

namespace orv::OnDemandFetch {

void GetAllComments(const Session& session, const QString& nodeKey) {
    runTrapped(session.log, u"MainForm.mnu_GetAllComments_Click: "_s, [&] {
        const NodeKey node(nodeKey);
        if (node.kind() == NodeKey::Post) {
            Transport transport(session);
            Fetcher fetcher(session, transport);
            session.log.LogStatus(u"Загрузка всех комментариев..."_s);
            // An "allcomments" list is stacked as comments and moves no check time.
            fetcher.BuildIDstack(transport.exchange(
                RequestDocuments::allComments(session.settings, node.serviceId())));
            fetcher.GetMessagesFromStack(
                FetchStack::Comments,
                Fetcher::batchSize(session.settings.CommentsToGetPerOneSession));
            TextFiles::DeleteIfExists(session.folder.PostFilePath());
        }
        session.log.LogStatus(session.cancelled() ? RunControl::CancelledText
                                                  : u"Операция завершена"_s);
    });
}

int GetSmiles(const Session& session) {
    int added = 0;
    runTrapped(session.log, u"MainForm.mnu_GetSmiles_Click: "_s, [&] {
        session.log.LogStatus(u"Соединяюсь с сервером..."_s);
        const QString path = session.folder.PostFilePath();
        Transport transport(session);
        const QString answer = transport.exchange(RequestDocuments::newSmiles(session.settings));
        TextFiles::DeleteIfExists(path);
        const auto document = ResultDocument::parse(answer);
        if (!document) {
            if (!session.ConnectionFailed) {
                session.log.LogFailure(u"Получен некорректный ответ от сервера Kordenet\r\n"
                                       u"Обмен с сервером прерван"_s);
            }
            return;
        }
        if (Fetcher(session, transport).refused(*document, u"MainForm.mnu_GetSmiles_Click: "_s)) {
            return; // the catalogue and LASTSMILEID stay as they are
        }
        session.log.LogStatus(u"Загрузка смайлов..."_s);
        TextFiles::WriteTextFile(path, answer); // a trace of what was stored
        added = SaveSmiles(session, *document);
        TextFiles::DeleteIfExists(path);
        QStringList pictures;
        for (const Smiley& smiley : SmileStore(session.db).all()) {
            pictures.append(smiley.url);
        }
        PictureRun::fetch(session, pictures);
        session.log.LogStatus(QString()); // the line holds only its time stamp
    });
    return added;
}

int SaveSmiles(const Session& session, const ResultDocument& document) {
    int added = 0;
    runTrapped(session.log, u"Mod_DB.SaveSmiles: "_s, [&] {
        const DecodedSmiles decoded = DecodeSmiles(document, session.prompts);
        if (decoded.lastSmileId) {
            // Taken before anything else in the answer is judged.
            session.settings.LASTSMILEID = *decoded.lastSmileId;
            SettingsStore(session.db, session.log).writeOne(session.settings, u"LASTSMILEID"_s);
        }
        if (!decoded.error.isEmpty()) {
            session.log.LogFailure(u"Mod_DB.DecodeSmiles: "_s + decoded.error);
            return;
        }
        added = SmileStore(session.db).add(decoded.smileys);
    });
    return added;
}

} // namespace orv::OnDemandFetch
