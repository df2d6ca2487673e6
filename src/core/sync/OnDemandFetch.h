#pragma once

#include "app/Session.h"

#include <QString>

namespace orv {

class ResultDocument;

// Fetches the user asks for outside the receive run.
namespace OnDemandFetch {

// "Получить все комменты": every comment of the post behind the node goes
// onto the fetch stack and is fetched; the check times stay as they are. On
// any other node nothing is exchanged. Ends with "Операция завершена".
void GetAllComments(const Session& session, const QString& nodeKey);

// "Получить смайлы": the smileys newer than LASTSMILEID are added to the
// catalogue. Returns how many were added.
int GetSmiles(const Session& session);

// Stores a smileys answer: LASTSMILEID first, whatever follows, then the
// smileys the catalogue lacks. Returns how many were added.
int SaveSmiles(const Session& session, const ResultDocument& document);

} // namespace OnDemandFetch
} // namespace orv
